// The settings folder over FTP with the system's WinINet: one connection and login for the session,
// in passive mode, the folder made the current one.
#include <windows.h>
#include <wininet.h>

#include <string>

#include "kvx/receiver_ftp.h"
#include "kvx/receiver_limit_wininet.h"
#include "lists/report_text.h"

struct FtpFolder {
    HINTERNET internet = nullptr;
    HINTERNET session = nullptr;
    std::string folder;
    std::string host;
    std::string user;
    bool expired = false;  // a call outlasted its limit: the handles are closed
};

namespace {

constexpr std::chrono::seconds ReplyLimit{30};

// Runs a WinINet call of the session within the limit of one reply.
template <typename Call>
auto limited(FtpFolder& folder, Call call) {
    CallLimit limit;
    startCallLimit(limit, folder.internet, ReplyLimit);
    const auto result = call();
    const DWORD error = GetLastError();  // the call's own: stopping the watch makes calls of its own
    if (finishCallLimit(limit)) {
        folder.expired = true;
        folder.internet = folder.session = nullptr;
    }
    SetLastError(error);
    return result;
}

// The FTP server's last reply, as WinINet kept it ("550 ..."); empty when it kept none.
std::string serverReply() {
    DWORD code = 0;
    char text[512] = {};
    DWORD size = sizeof text;
    if (!InternetGetLastResponseInfoA(&code, text, &size)) return {};
    std::string reply(text, std::min<DWORD>(size, sizeof text - 1));
    while (!reply.empty() && (reply.back() == '\n' || reply.back() == '\r')) reply.pop_back();
    return reply;
}

std::string systemText(DWORD error) {
    char text[512] = {};
    const DWORD flags = FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    FormatMessageA(flags, GetModuleHandleA("wininet.dll"), error, 0, text, sizeof text, nullptr);
    std::string out = text;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) out.pop_back();
    return out.empty() ? "error " + std::to_string(error) : out;
}

// The server's reply code, where its last reply starts with one.
int replyCode(const std::string& reply) {
    if (reply.size() < 3 || reply[0] < '1' || reply[0] > '5') return 0;
    return (reply[0] - '0') * 100 + (reply[1] - '0') * 10 + (reply[2] - '0');
}

std::string failure(const FtpFolder& folder, std::string_view doing) {
    const DWORD error = folder.expired ? ERROR_INTERNET_TIMEOUT : GetLastError();
    const std::string reply = error == ERROR_INTERNET_EXTENDED_ERROR ? serverReply() : std::string();
    const int code = replyCode(reply);
    std::string why(doing);
    why += ": ";
    if (error == ERROR_INTERNET_NAME_NOT_RESOLVED) {
        why += "cannot find the host " + folder.host;
    } else if (error == ERROR_INTERNET_CANNOT_CONNECT) {
        why += "no answer (nothing listens there, or the box is off)";
    } else if (error == ERROR_INTERNET_TIMEOUT) {
        why += "no answer within the time limit (10 s to connect, 30 s a reply)";
    } else if (error == ERROR_INTERNET_LOGIN_FAILURE || code == 530) {
        why += folder.user.empty() ? "login refused (no user named: name one, as ftp://root@box/...)"
                                   : "login refused for " + folder.user + " (wrong password?)";
    } else if (code == 550 || code == 553 || code == 532 || code == 450) {
        why += "permission denied, or no such file or folder";
    } else if (error == ERROR_INTERNET_CONNECTION_ABORTED || error == ERROR_INTERNET_CONNECTION_RESET ||
               error == ERROR_FTP_DROPPED) {
        why += "the connection failed";
    } else if (error == ERROR_SUCCESS || error == ERROR_INTERNET_INVALID_OPERATION ||
               error == ERROR_INTERNET_INCORRECT_HANDLE_STATE) {
        why += "answers as no FTP server does";
    } else {
        why += systemText(error);
    }
    if (!reply.empty()) {
        why += " [";
        appendPrintable(why, reply.substr(0, 200), false);
        why += "]";
    }
    return why;
}

void setLimits(HINTERNET handle) {
    DWORD connect = 10000, reply = 30000;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    for (const DWORD option : {INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                               INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT})
        InternetSetOptionA(handle, option, &reply, sizeof reply);
}

}  // namespace

void ftpClose(FtpFolder* folder) {
    if (folder == nullptr) return;
    if (folder->session != nullptr) InternetCloseHandle(folder->session);
    if (folder->internet != nullptr) InternetCloseHandle(folder->internet);
    delete folder;
}

bool ftpOpen(const ReceiverAddress& address, const std::string& password, FtpFolderHandle& handle, std::string& why) {
    FtpFolderHandle folder(new FtpFolder);
    folder->folder = address.path;
    folder->host = address.host;
    folder->user = address.user;
    // Straight to the box: no proxy the system may name.
    folder->internet = InternetOpenA("kvx", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (folder->internet == nullptr) {
        why = failure(*folder, "starting WinINet");
        return false;
    }
    setLimits(folder->internet);
    folder->session = limited(*folder, [&] {
        return InternetConnectA(folder->internet, address.host.c_str(), static_cast<INTERNET_PORT>(address.port),
                                address.user.empty() ? nullptr : address.user.c_str(),
                                address.user.empty() ? nullptr : password.c_str(), INTERNET_SERVICE_FTP,
                                INTERNET_FLAG_PASSIVE, 0);
    });
    if (folder->session == nullptr) {
        why = failure(*folder, "opening the folder");
        return false;
    }
    if (!limited(*folder, [&] { return FtpSetCurrentDirectoryA(folder->session, address.path.c_str()); })) {
        const bool refused =
            !folder->expired && GetLastError() == ERROR_INTERNET_EXTENDED_ERROR && replyCode(serverReply()) == 550;
        why = refused ? "opening the folder: folder " + address.path + " missing, or not open to this login"
                      : failure(*folder, "opening the folder");
        return false;
    }
    handle = std::move(folder);
    return true;
}

FtpFetch ftpFetch(FtpFolder& folder, std::string_view name, std::string& bytes, std::string& why) {
    bytes.clear();
    const std::string file(name);
    HINTERNET handle = limited(folder, [&] {
        return FtpOpenFileA(folder.session, file.c_str(), GENERIC_READ, FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD,
                            0);
    });
    if (handle == nullptr) {
        if (!folder.expired && GetLastError() == ERROR_INTERNET_EXTENDED_ERROR && replyCode(serverReply()) == 550)
            return FtpFetch::Missing;
        why = failure(folder, "fetching " + file);
        return FtpFetch::Failed;
    }
    char buffer[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!limited(folder, [&] { return InternetReadFile(handle, buffer, sizeof buffer, &got); })) {
            why = failure(folder, "fetching " + file);
            if (!folder.expired) InternetCloseHandle(handle);
            bytes.clear();
            return FtpFetch::Failed;
        }
        if (got == 0) break;
        if (bytes.size() + got > FtpMaxFile) {
            why = file + ": larger than " + std::to_string(FtpMaxFile / (std::size_t{1024} * 1024)) +
                  " MB, more than any settings file";
            InternetCloseHandle(handle);
            bytes.clear();
            return FtpFetch::Failed;
        }
        bytes.append(buffer, got);
    }
    if (!limited(folder, [&] { return InternetCloseHandle(handle); }) && folder.expired) {
        why = failure(folder, "fetching " + file);
        return FtpFetch::Failed;
    }
    return FtpFetch::Fetched;
}

bool ftpStore(FtpFolder& folder, std::string_view name, std::string_view bytes, std::string& why) {
    const std::string file(name);
    HINTERNET handle = limited(
        folder, [&] { return FtpOpenFileA(folder.session, file.c_str(), GENERIC_WRITE, FTP_TRANSFER_TYPE_BINARY, 0); });
    if (handle == nullptr) {
        why = failure(folder, "storing " + file);
        return false;
    }
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), std::size_t{64} * 1024));
        if (!limited(folder, [&] { return InternetWriteFile(handle, bytes.data(), piece, &written); }) ||
            written == 0) {
            why = failure(folder, "storing " + file);
            if (!folder.expired) InternetCloseHandle(handle);
            return false;
        }
        bytes.remove_prefix(written);
    }
    if (!limited(folder, [&] { return InternetCloseHandle(handle); })) {
        why = failure(folder, "storing " + file);
        return false;
    }
    return true;
}

bool ftpRename(FtpFolder& folder, std::string_view from, std::string_view to, std::string& why) {
    if (limited(folder,
                [&] { return FtpRenameFileA(folder.session, std::string(from).c_str(), std::string(to).c_str()); }))
        return true;
    why = failure(folder, "putting " + std::string(to) + " in place");
    return false;
}

bool ftpRemove(FtpFolder& folder, std::string_view name, std::string& why) {
    if (limited(folder, [&] { return FtpDeleteFileA(folder.session, std::string(name).c_str()); })) return true;
    why = failure(folder, "removing " + std::string(name));
    return false;
}
