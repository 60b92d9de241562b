#pragma once
// Lists read from and sent to receivers named where a file or folder is named: a box's Enigma2
// settings folder over FTP (ftp://root@box/etc/enigma2), a running VDR over SVDRP (svdrp://vdr). What
// a receiver sends is read as the same files would be read from a disk.

#include <span>
#include <string>
#include <string_view>

#include "formats/enigma2_format.h"
#include "kvx/list_formats.h"
#include "kvx/receiver_address.h"

// The format a receiver holds: Enigma2 settings over FTP, a channels.conf over SVDRP.
ListFormat receiverFormat(std::string_view name);

// Reads the receiver's list (readListIn's rules): over FTP lamedb (else lamedb5), bouquets.tv,
// bouquets.radio and the bouquets they name, into memory; over SVDRP the recorder's LSTC :groups.
bool readReceiverList(const std::string& name, ListFormat format, const FormatOptions& options, RecordList& records,
                      FormatReport& report, std::string& why);

// Sends a settings folder's files over FTP: each is stored under a temporary name in the folder, and
// only once all are stored are they renamed into place, so that the box never reads half a list.
// Then, with a reload address, asks the box's web interface to read its lists again. Says what
// happened; the exit status.
int sendSettings(const std::string& name, std::span<const SettingsFile> files, const std::string& reload);

// Asks the box's web interface to read its lists again (GET /web/servicelistreload?mode=0). The
// login is the address's own, else that of the FTP name given for the same host. The exit status: 1
// when the box did not reload.
int reloadBox(const std::string& reload, const std::string& ftpName);

// Makes a running recorder's list equal to text (a channels.conf), saying first how many channels
// will be added, changed, moved and removed; with dryRun it only says that. The exit status.
int sendChannelsConf(const std::string& name, std::string_view text, bool dryRun);
