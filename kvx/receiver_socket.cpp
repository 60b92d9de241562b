#include "kvx/receiver_socket.h"

#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

#ifdef _WIN32
using Socket = SOCKET;
const Socket NoSocket = INVALID_SOCKET;
int lastError() { return WSAGetLastError(); }
bool inProgress(int error) { return error == WSAEWOULDBLOCK; }
int waitFor(WSAPOLLFD& entry, int milliseconds) { return WSAPoll(&entry, 1, milliseconds); }
using PollEntry = WSAPOLLFD;
void closeSocket(Socket socket) { closesocket(socket); }
bool setNonBlocking(Socket socket) {
    u_long on = 1;
    return ioctlsocket(socket, FIONBIO, &on) == 0;
}
std::string errorText(int error) {
    char text[256] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(error), 0,
                   text, sizeof text, nullptr);
    std::string out = text;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) out.pop_back();
    return out.empty() ? "error " + std::to_string(error) : out;
}
// Winsock is started once, the first time a connection is made, and left to the process's end.
bool startSockets(std::string& why) {
    static const int started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    if (started != 0) why = "Winsock did not start: " + errorText(started);
    return started == 0;
}
constexpr int SendFlags = 0;
#else
using Socket = int;
constexpr Socket NoSocket = -1;
int lastError() { return errno; }
bool inProgress(int error) { return error == EINPROGRESS; }
using PollEntry = pollfd;
int waitFor(pollfd& entry, int milliseconds) { return poll(&entry, 1, milliseconds); }
void closeSocket(Socket socket) { close(socket); }
bool setNonBlocking(Socket socket) {
    const int flags = fcntl(socket, F_GETFL);
    return flags >= 0 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}
std::string errorText(int error) { return std::strerror(error); }
bool startSockets(std::string&) { return true; }
constexpr int SendFlags = MSG_NOSIGNAL;
#endif

Socket socketOf(const TcpConnection& connection) { return static_cast<Socket>(connection.socket); }

// Waits for events on the socket until the time limit: 1 ready, 0 the time limit, -1 an error.
int waitUntil(Socket socket, short events, Deadline deadline) {
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return 0;
        PollEntry entry{};
        entry.fd = socket;
        entry.events = events;
        const int ready = waitFor(entry, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready > 0) return 1;
#ifndef _WIN32
        if (ready < 0 && errno != EINTR) return -1;
#else
        if (ready < 0) return -1;
#endif
    }
}

}  // namespace

bool tcpConnect(const std::string& host, int port, Deadline deadline, TcpConnection& connection, std::string& why) {
    if (!startSockets(why)) return false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int error = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); error != 0) {
        why = "cannot find the host " + host;
        return false;
    }
    std::string failure = "no answer";
    for (const addrinfo* address = found; address != nullptr; address = address->ai_next) {
        const Socket socket = ::socket(address->ai_family, address->ai_socktype, address->ai_protocol);
        if (socket == NoSocket) continue;
        int connected =
            setNonBlocking(socket) ? ::connect(socket, address->ai_addr, static_cast<int>(address->ai_addrlen)) : -1;
        int error = connected == 0 ? 0 : lastError();
        if (connected != 0 && inProgress(error)) {
            const int ready = waitUntil(socket, POLLOUT, deadline);
            error = 0;
            socklen_t size = sizeof error;
            if (ready <= 0) {
                failure = ready == 0 ? "no answer within 10 s" : "no answer";
                error = -1;
            } else if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) {
                error = lastError();
            }
            if (error > 0) failure = "no answer (" + errorText(error) + ")";
        } else if (connected != 0) {
            failure = "no answer (" + errorText(error) + ")";
        }
        if (error != 0) {
            closeSocket(socket);
            continue;
        }
        // Commands are single short lines, each waited on: sent at once, not held back to be joined.
        const int on = 1;
        setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        connection.socket = static_cast<std::intptr_t>(socket);
        freeaddrinfo(found);
        return true;
    }
    freeaddrinfo(found);
    why = failure;
    return false;
}

bool tcpSend(TcpConnection& connection, std::string_view bytes, Deadline deadline, std::string& why) {
    const Socket socket = socketOf(connection);
    while (!bytes.empty()) {
        const int ready = waitUntil(socket, POLLOUT, deadline);
        if (ready <= 0) {
            why = ready == 0 ? "no answer within 30 s (it takes nothing more)" : "the connection failed";
            return false;
        }
        const auto sent =
            ::send(socket, bytes.data(), static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20)), SendFlags);
        if (sent < 0) {
            const int error = lastError();
            if (inProgress(error)) continue;
            why = "the connection failed (" + errorText(error) + ")";
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

long tcpReceive(TcpConnection& connection, char* buffer, std::size_t size, Deadline deadline, std::string& why) {
    const Socket socket = socketOf(connection);
    for (;;) {
        const int ready = waitUntil(socket, POLLIN, deadline);
        if (ready <= 0) {
            why = ready == 0 ? "no answer within 30 s" : "the connection failed";
            return -1;
        }
        const auto got = ::recv(socket, buffer, static_cast<int>(std::min<std::size_t>(size, 1 << 20)), 0);
        if (got >= 0) return static_cast<long>(got);
        const int error = lastError();
        if (!inProgress(error)) {
            why = "the connection failed (" + errorText(error) + ")";
            return -1;
        }
    }
}

void tcpClose(TcpConnection& connection) {
    if (connection.socket != -1) closeSocket(socketOf(connection));
    connection.socket = -1;
}
