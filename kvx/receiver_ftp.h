#pragma once
// A box's settings folder over FTP: the files in it fetched whole into memory, stored, renamed and
// removed. libcurl natively, the system's WinINet in kvx.exe. Every step has a time limit (10 s to
// connect, 30 s for each reply, a transfer that moves nothing for 30 s is given up) and a file
// fetched has a largest size. Messages say what failed in the box's terms: no answer, login
// refused, folder missing, permission denied.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "kvx/receiver_address.h"

// The largest settings file kvx fetches: far above a lamedb of 16384 channels (a few MB).
inline constexpr std::size_t FtpMaxFile = std::size_t{32} * 1024 * 1024;

struct FtpFolder;
void ftpClose(FtpFolder* folder);
struct FtpFolderClose {
    void operator()(FtpFolder* folder) const { ftpClose(folder); }
};
using FtpFolderHandle = std::unique_ptr<FtpFolder, FtpFolderClose>;

// Logs in and goes to the address's folder. False with why.
bool ftpOpen(const ReceiverAddress& address, const std::string& password, FtpFolderHandle& handle, std::string& why);

enum class FtpFetch { Fetched, Missing, Failed };

// A file of the folder, whole; Missing when the box has no such file (or lets it not be read).
FtpFetch ftpFetch(FtpFolder& folder, std::string_view name, std::string& bytes, std::string& why);

// Stores bytes as the file name in the folder, replacing one of that name.
bool ftpStore(FtpFolder& folder, std::string_view name, std::string_view bytes, std::string& why);

// Renames a file of the folder, replacing a file of the new name.
bool ftpRename(FtpFolder& folder, std::string_view from, std::string_view to, std::string& why);

bool ftpRemove(FtpFolder& folder, std::string_view name, std::string& why);
