#pragma once
// A session with a running recorder over SVDRP: plain text lines over TCP (port 6419 unless the
// name gives another). Every step has a time limit (10 s to connect, 30 s for each whole reply), and
// a reply's lines and the reply itself have a largest size: a server that floods, stalls or is not
// a recorder is given up on with a message naming it.

#include <string>
#include <string_view>

#include "formats/vdr_svdrp_reply.h"
#include "kvx/receiver_address.h"
#include "kvx/receiver_socket.h"

struct SvdrpSession {
    TcpConnection connection;
    std::string received;  // bytes received past the last reply read
};

// Connects and reads the recorder's greeting. False with why when there is no answer or the answer
// is not a recorder's.
bool svdrpOpen(const ReceiverAddress& address, SvdrpSession& session, std::string& why);

// Sends a command and reads its whole reply: its lines, apart by '\n', into reply, and the last
// line's code. False with why when the reply does not come whole in time or is not SVDRP.
bool svdrpAsk(SvdrpSession& session, std::string_view command, std::string& reply, int& code, std::string& why);

// Says goodbye (QUIT) and closes the connection.
void svdrpClose(SvdrpSession& session);
