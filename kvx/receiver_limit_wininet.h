#pragma once
// A time limit on one WinINet call. Wine's WinINet keeps its own limit of about a minute on an FTP
// server's reply, whatever INTERNET_OPTION_RECEIVE_TIMEOUT says: where a call outlasts its limit,
// its handle is closed, which ends the call waiting on it.

#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

struct CallLimit {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool expired = false;
    std::thread watcher;
};

// Starts watching: after limit, handle (and every handle opened from it) is closed.
void startCallLimit(CallLimit& limit, HINTERNET handle, std::chrono::seconds seconds);

// Stops watching once the call returned; true when the limit had expired and handle is closed.
bool finishCallLimit(CallLimit& limit);
