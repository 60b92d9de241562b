#include "kvx/receiver_svdrp.h"

#include <chrono>

#include "lists/report_text.h"
#include "lists/utf8.h"

namespace {

constexpr std::chrono::seconds ConnectLimit{10};
constexpr std::chrono::seconds ReplyLimit{30};

// The start of a line a server sent, quoted so that no byte of it reaches the terminal as it is.
std::string shownStart(std::string_view line) {
    std::string out;
    const std::string_view start = line.substr(0, 80);
    appendQuoted(out, start, isUtf8(start));
    if (line.size() > start.size()) out += "...";
    return out;
}

// Reads one whole reply by the time limit: the text of its lines, and its last line's code.
bool readReply(SvdrpSession& session, Deadline deadline, std::string& reply, int& code, std::string& why) {
    reply.clear();
    std::string& received = session.received;
    std::size_t start = 0;    // of received, where the next line starts
    std::size_t scanned = 0;  // and up to where it was looked at for its end
    char buffer[64 * 1024];
    for (;;) {
        const std::size_t end = received.find('\n', scanned);
        if (end == std::string::npos || end - start > SvdrpMaxLine) {
            if (received.size() - start > SvdrpMaxLine) {
                why = "sent a line longer than " + std::to_string(SvdrpMaxLine) +
                      " bytes: " + shownStart(std::string_view(received).substr(start));
                return false;
            }
            received.erase(0, start);  // what is read stays small: the lines already taken go
            start = 0;
            scanned = received.size();
            const long got = tcpReceive(session.connection, buffer, sizeof buffer, deadline, why);
            if (got <= 0) {
                if (got == 0) why = "closed the connection in the middle of a reply";
                return false;
            }
            received.append(buffer, static_cast<std::size_t>(got));
            continue;
        }
        std::string_view line = std::string_view(received).substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        SvdrpLine parsed;
        if (!readSvdrpLine(line, parsed)) {
            why = "answers as no recorder does: " + shownStart(line);
            return false;
        }
        if (reply.size() + line.size() + 1 > SvdrpMaxReply) {
            why = "sent a reply larger than " + std::to_string(SvdrpMaxReply / (std::size_t{1024} * 1024)) + " MB";
            return false;
        }
        reply.append(line);
        reply += '\n';
        start = scanned = end + 1;
        if (parsed.last) {
            code = parsed.code;
            received.erase(0, start);
            return true;
        }
    }
}

}  // namespace

bool svdrpOpen(const ReceiverAddress& address, SvdrpSession& session, std::string& why) {
    session = SvdrpSession{};
    if (!tcpConnect(address.host, address.port, deadlineIn(ConnectLimit), session.connection, why)) return false;
    std::string greeting;
    int code = 0;
    if (!readReply(session, deadlineIn(ReplyLimit), greeting, code, why)) {
        tcpClose(session.connection);
        return false;
    }
    if (greeting.pop_back(); !isSvdrpGreeting(greeting)) {
        why = code == 220 ? "greets as no recorder does: " + shownStart(greeting)
                          : "refused the connection: " + shownStart(greeting);
        tcpClose(session.connection);
        return false;
    }
    return true;
}

bool svdrpAsk(SvdrpSession& session, std::string_view command, std::string& reply, int& code, std::string& why) {
    const Deadline deadline = deadlineIn(ReplyLimit);
    std::string line(command);
    line += "\r\n";
    return tcpSend(session.connection, line, deadline, why) && readReply(session, deadline, reply, code, why);
}

void svdrpClose(SvdrpSession& session) {
    if (session.connection.socket == -1) return;
    std::string reply, why;
    int code = 0;
    // A recorder takes one client at a time: it is told the session is over, not left to notice.
    const Deadline deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    if (tcpSend(session.connection, "QUIT\r\n", deadline, why)) readReply(session, deadline, reply, code, why);
    tcpClose(session.connection);
}
