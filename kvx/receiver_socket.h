#pragma once
// A TCP connection with a time limit on every step, for the recorder's SVDRP: POSIX sockets natively,
// Winsock in kvx.exe.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using Deadline = std::chrono::steady_clock::time_point;

inline Deadline deadlineIn(std::chrono::seconds seconds) { return std::chrono::steady_clock::now() + seconds; }

struct TcpConnection {
    std::intptr_t socket = -1;
};

// Connects to host:port by the time limit. False with why ("no answer ...", "cannot find the host ...").
bool tcpConnect(const std::string& host, int port, Deadline deadline, TcpConnection& connection, std::string& why);

// Sends all of bytes by the time limit.
bool tcpSend(TcpConnection& connection, std::string_view bytes, Deadline deadline, std::string& why);

// Receives what has arrived, at most size bytes, waiting until the time limit for the first of them.
// The count; 0 when the other side closed; -1 with why on an error or the time limit.
long tcpReceive(TcpConnection& connection, char* buffer, std::size_t size, Deadline deadline, std::string& why);

void tcpClose(TcpConnection& connection);
