#pragma once
// A receiver named where a file or folder is named: a box's settings folder over FTP
// ("ftp://root@box/etc/enigma2"), a recorder over SVDRP ("svdrp://vdr:6419"), and a box's web
// interface ("http://box"). Names only, no I/O.

#include <string>
#include <string_view>

enum class ReceiverKind { Ftp, Svdrp, Web };

struct ReceiverAddress {
    ReceiverKind kind = ReceiverKind::Ftp;
    std::string user;  // empty when the name gives none
    std::string password;
    bool passwordGiven = false;  // the name held one
    std::string host;            // a name or an address; an IPv6 address without its brackets
    int port = 0;                // the kind's own when the name gives none: 21, 6419, 80
    std::string path;            // FTP: the folder, from the box's root ("/etc/enigma2"); web: a prefix or empty
    std::string shown;           // the name as messages show it: never the password
};

// True for names of receivers lists are read from and sent to: "ftp://..." and "svdrp://...".
bool isReceiverName(std::string_view name);

// Reads "ftp://[USER[:PASSWORD]@]HOST[:PORT]/FOLDER", "svdrp://HOST[:PORT]" or
// "http://[USER[:PASSWORD]@]HOST[:PORT][/PREFIX]"; user, password and path may hold %XX escapes. False,
// with why, for anything else, or a name holding control characters (they would end a command).
bool parseReceiverAddress(std::string_view name, ReceiverAddress& address, std::string& why);
