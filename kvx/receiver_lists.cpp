#include "kvx/receiver_lists.h"

#include <algorithm>
#include <vector>

#include "channel/channel_table.h"
#include "formats/enigma2_receiver.h"
#include "formats/vdr_format.h"
#include "formats/vdr_svdrp_plan.h"
#include "kvx/command_line.h"
#include "kvx/receiver_ftp.h"
#include "kvx/receiver_options.h"
#include "kvx/receiver_svdrp.h"
#include "kvx/receiver_web.h"
#include "lists/report_text.h"
#include "lists/utf8.h"

namespace {

// Lines of settings files and the bouquets fetched for one list: far above any box's.
constexpr std::size_t MaxLine = std::size_t{64} * 1024;
constexpr std::size_t MaxBouquets = 1000;

std::string shown(std::string_view text) {
    std::string out;
    appendQuoted(out, text, isUtf8(text));
    return out;
}

bool openAddress(const std::string& name, ReceiverAddress& address, std::string& why) {
    return parseReceiverAddress(name, address, why);
}

// A file fetched is refused whole when a line of it is longer than any settings file's.
bool linesFit(const NamedFile& file, std::string& why) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = file.bytes.find('\n', start);
        if ((end == std::string::npos ? file.bytes.size() : end) - start > MaxLine) {
            why = file.name + ": a line longer than " + std::to_string(MaxLine) + " bytes: not a settings file";
            return false;
        }
        if (end == std::string::npos) return true;
        start = end + 1;
    }
}

// Fetches a file into files; false only when fetching failed (a missing file is not fetched).
bool fetchInto(FtpFolder& folder, std::string_view name, std::vector<NamedFile>& files, bool& missing,
               std::string& why) {
    std::string bytes;
    const FtpFetch fetched = ftpFetch(folder, name, bytes, why);
    missing = fetched == FtpFetch::Missing;
    if (fetched != FtpFetch::Fetched) return fetched == FtpFetch::Missing;
    files.push_back({std::string(name), std::move(bytes)});
    return linesFit(files.back(), why);
}

bool readSettingsOverFtp(const ReceiverAddress& address, const FormatOptions& options, RecordList& records,
                         FormatReport& report, std::string& why) {
    std::string password;
    if (!receiverPassword(address, password, why)) return false;
    FtpFolderHandle folder;
    if (!ftpOpen(address, password, folder, why)) return false;
    std::vector<NamedFile> files;
    bool missing = false;
    if (!fetchInto(*folder, "lamedb", files, missing, why)) return false;
    if (missing && !fetchInto(*folder, "lamedb5", files, missing, why)) return false;
    if (missing) {
        why = "neither lamedb nor lamedb5 in the folder " + address.path;
        return false;
    }
    // The bouquet lists, then every user bouquet they name, and those the user bouquets name in turn.
    std::vector<std::string> names{"bouquets.tv", "bouquets.radio"};
    int refused = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names.size() > MaxBouquets) {
            why = "the bouquets name more than " + std::to_string(MaxBouquets) + " bouquet files";
            return false;
        }
        if (!fetchInto(*folder, names[i], files, missing, why)) return false;
        if (!missing) bouquetFilesNamed(files.back().bytes, names, refused);
    }
    if (refused > 0) {
        report.notes.push_back(std::to_string(refused) +
                               " bouquet names hold '/', '\\' or \"..\", or are no user bouquet's: never fetched");
    }
    folder.reset();
    reserveOutput(records, ChannelTable::Capacity);  // room only: the list is written into it once
    return importEnigma2(std::span<const NamedFile>(files), options, records, report);
}

bool readChannelsOverSvdrp(const ReceiverAddress& address, const FormatOptions& options, RecordList& records,
                           FormatReport& report, std::string& why) {
    SvdrpSession session;
    if (!svdrpOpen(address, session, why)) return false;
    std::string reply;
    int code = 0;
    const bool answered = svdrpAsk(session, "LSTC :groups", reply, code, why);
    svdrpClose(session);
    if (!answered) return false;
    std::vector<SvdrpChannelLine> lines;
    if (!readSvdrpListing(reply, false, lines, why)) return false;
    std::string text;
    channelsConfOfListing(lines, text);
    reserveOutput(records, ChannelTable::Capacity);  // room only: the list is written into it once
    return importVdr(text, options, records, report);
}

std::string temporaryName(std::string_view name) { return ".kvx-" + std::string(name) + ".part"; }

// The login for the web interface: its own name's, else the FTP name's where the host is the same.
bool webLogin(const ReceiverAddress& web, const std::string& ftpName, std::string& user, std::string& password,
              std::string& why) {
    ReceiverAddress ftp;
    std::string ignored;
    if (web.user.empty() && !ftpName.empty() && parseReceiverAddress(ftpName, ftp, ignored) && ftp.host == web.host) {
        user = ftp.user;
        return user.empty() || receiverPassword(ftp, password, why);
    }
    user = web.user;
    return user.empty() || receiverPassword(web, password, why);
}

// "N channels to add, ..." before anything changes.
std::string counts(const SvdrpPlan& plan) {
    std::string text = std::to_string(plan.added) + " channels to add, " + std::to_string(plan.changed) +
                       " to change, " + std::to_string(plan.moved) + " to move, " + std::to_string(plan.removed) +
                       " to remove";
    if (plan.groupsAdded > 0) text += ", " + std::to_string(plan.groupsAdded) + " group lines to add";
    return text + " (" + std::to_string(plan.commands.size()) + " SVDRP commands)";
}

// The name part of a channel line, for messages.
std::string channelName(std::string_view line) { return shown(line.substr(0, std::min(line.find(':'), line.size()))); }

void sayList(const std::string& name, std::string_view what, const std::vector<std::string>& lines, bool names) {
    if (lines.empty()) return;
    std::string text = std::string(what);
    const std::size_t listed = std::min<std::size_t>(lines.size(), 20);
    for (std::size_t i = 0; i < listed; ++i)
        text += (i == 0 ? " " : ", ") + (names ? channelName(lines[i]) : shown(lines[i]));
    if (listed < lines.size()) text += " and " + std::to_string(lines.size() - listed) + " more";
    complain(name, text);
}

}  // namespace

ListFormat receiverFormat(std::string_view name) {
    ReceiverAddress address;
    std::string why;
    if (!parseReceiverAddress(name, address, why)) return ListFormat::Detect;
    return address.kind == ReceiverKind::Svdrp ? ListFormat::Vdr : ListFormat::Enigma2;
}

bool readReceiverList(const std::string& name, ListFormat format, const FormatOptions& options, RecordList& records,
                      FormatReport& report, std::string& why) {
    ReceiverAddress address;
    if (!openAddress(name, address, why)) return false;
    const ListFormat held = receiverFormat(name);
    if (format != ListFormat::Detect && format != held) {
        why = held == ListFormat::Vdr ? "an svdrp:// recorder holds a channels.conf (--format vdr)"
                                      : "an ftp:// box holds Enigma2 settings (--format enigma2)";
        return false;
    }
    const bool read = address.kind == ReceiverKind::Svdrp
                          ? readChannelsOverSvdrp(address, options, records, report, why)
                          : readSettingsOverFtp(address, options, records, report, why);
    if (read) why.clear();  // the caller takes any reason as the list's failure
    return read;
}

int sendSettings(const std::string& name, std::span<const SettingsFile> files, const std::string& reload) {
    ReceiverAddress address;
    std::string why, password;
    if (!openAddress(name, address, why) || !receiverPassword(address, password, why)) {
        complain(name, why);
        return Trouble;
    }
    FtpFolderHandle folder;
    if (!ftpOpen(address, password, folder, why)) {
        complain(name, why + "; nothing was sent");
        return Trouble;
    }
    // Every file stored under its temporary name first: a failure there leaves the box's files as they were.
    std::size_t stored = 0;
    for (; stored < files.size(); ++stored) {
        if (!ftpStore(*folder, temporaryName(files[stored].name), files[stored].bytes, why)) {
            why.insert(0, std::string(files[stored].name) + ": ");
            break;
        }
    }
    std::size_t replaced = 0;
    if (stored == files.size()) {
        for (; replaced < files.size(); ++replaced) {
            if (!ftpRename(*folder, temporaryName(files[replaced].name), files[replaced].name, why)) break;
        }
    }
    if (replaced == files.size()) {
        folder.reset();
        return reload.empty() ? Success : reloadBox(reload, name);
    }
    for (std::size_t i = replaced; i < stored; ++i) {
        std::string ignored;
        ftpRemove(*folder, temporaryName(files[i].name), ignored);  // the box keeps no half-sent file
    }
    if (stored < files.size()) {
        complain(name, why + "; the box's files are as they were");
    } else {
        why += " (already replaced:";
        for (std::size_t i = 0; i < replaced; ++i) (why += " ") += files[i].name;
        complain(name, why + ")");
    }
    return Trouble;
}

int reloadBox(const std::string& reload, const std::string& ftpName) {
    ReceiverAddress address;
    std::string why, user, password;
    if (!parseReceiverAddress(reload, address, why) || address.kind != ReceiverKind::Web) {
        complain(reload, "--reload takes the box's web interface, as http://box");
        return Trouble;
    }
    WebAnswer answer;
    const char* const After = "; the files are in place, the box has not read them again";
    if (!webLogin(address, ftpName, user, password, why) ||
        !webGet(address, user, password, "/web/servicelistreload?mode=0", ReloadAnswerMax, answer, why)) {
        complain(address.shown, why + After);
        return Found;
    }
    if (answer.status != 200) {
        complain(address.shown, std::string(answer.status == 401 ? "login refused" : "refused") + " (HTTP " +
                                    std::to_string(answer.status) + ")" + After);
        return Found;
    }
    std::string text;
    if (!readReloadAnswer(answer.body, text)) {
        complain(address.shown, "the box did not reload: " + shown(text.substr(0, 200)) + After);
        return Found;
    }
    return Success;
}

int sendChannelsConf(const std::string& name, std::string_view text, bool dryRun) {
    ReceiverAddress address;
    std::string why;
    SvdrpSession session;
    if (!openAddress(name, address, why) || !svdrpOpen(address, session, why)) {
        complain(name, why + "; nothing was sent");
        return Trouble;
    }
    std::string listing, timers;
    int listingCode = 0, timersCode = 0;
    std::vector<SvdrpChannelLine> current;
    std::vector<std::string> held;
    SvdrpPlan plan;
    const bool planned = svdrpAsk(session, "LSTC :ids :groups", listing, listingCode, why) &&
                         readSvdrpListing(listing, true, current, why) &&
                         svdrpAsk(session, "LSTT id", timers, timersCode, why) &&
                         readSvdrpTimerChannels(timers, held, why) && planSvdrpChanges(current, text, held, plan, why);
    if (!planned) {
        svdrpClose(session);
        complain(name, why + "; nothing was changed");
        return Trouble;
    }
    complain(name, counts(plan));
    sayList(name,
            "group lines the recorder has and the list lacks stay, empty (SVDRP cannot remove them):", plan.strayGroups,
            false);
    sayList(name, "kept, a timer uses them:", plan.heldChannels, true);
    if (dryRun) {
        svdrpClose(session);
        return Success;
    }
    std::vector<char> deleted(plan.commands.size(), 1);
    std::vector<std::string> refused;
    std::string reply;
    for (std::size_t i = 0; i < plan.commands.size(); ++i) {
        int code = 0;
        if (!svdrpAsk(session, plan.commands[i], reply, code, why)) {
            svdrpClose(session);
            complain(name, why + " (after " + std::to_string(i) + " of " + std::to_string(plan.commands.size()) +
                               " commands: the recorder's list is changed up to there)");
            return Trouble;
        }
        if (code == 250) continue;
        if (i >= plan.firstDeletion && code == 550) {  // a timer the listing of timers did not show
            deleted[i] = 0;
            refused.push_back(plan.commands[i].substr(5));
            continue;
        }
        svdrpClose(session);
        if (!reply.empty()) reply.pop_back();
        complain(name, "command " + std::to_string(i + 1) + " of " + std::to_string(plan.commands.size()) + ", " +
                           shown(plan.commands[i].substr(0, 120)) + ", answered " + shown(reply.substr(0, 200)) +
                           ": the recorder's list is changed up to there");
        return Trouble;
    }
    sayList(name, "kept, the recorder refused to delete them (a timer uses them):", refused, false);
    // What the recorder lists now must be what was planned, line for line.
    std::vector<SvdrpChannelLine> after;
    int code = 0;
    const bool listed =
        svdrpAsk(session, "LSTC :groups", listing, code, why) && readSvdrpListing(listing, false, after, why);
    svdrpClose(session);
    if (!listed) {
        complain(name, why + " (listing the channels after the changes)");
        return Trouble;
    }
    std::vector<std::string_view> expected;
    for (const SvdrpFinalLine& line : plan.finalLines) {
        if (line.deletedBy == static_cast<std::size_t>(-1) || !deleted[line.deletedBy]) expected.push_back(line.text);
    }
    for (std::size_t i = 0; i < std::max(expected.size(), after.size()); ++i) {
        const std::string_view has = i < after.size() ? after[i].line : "(nothing)";
        const std::string_view wanted = i < expected.size() ? expected[i] : "(nothing)";
        if (has != wanted) {
            complain(name, "the recorder's list differs from the one sent at its line " + std::to_string(i + 1) + ": " +
                               shown(has.substr(0, 120)) + " where " + shown(wanted.substr(0, 120)) + " was planned");
            return Found;
        }
    }
    return plan.heldChannels.empty() && refused.empty() ? Success : Found;
}
