#include "kvx/receiver_limit_wininet.h"

void startCallLimit(CallLimit& limit, HINTERNET handle, std::chrono::seconds seconds) {
    limit.watcher = std::thread([&limit, handle, seconds] {
        std::unique_lock<std::mutex> lock(limit.mutex);
        if (limit.finished.wait_for(lock, seconds, [&limit] { return limit.done; })) return;
        limit.expired = true;
        InternetCloseHandle(handle);
    });
}

bool finishCallLimit(CallLimit& limit) {
    {
        const std::lock_guard<std::mutex> lock(limit.mutex);
        limit.done = true;
    }
    limit.finished.notify_one();
    limit.watcher.join();
    return limit.expired;
}
