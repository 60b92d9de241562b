// The box's web interface with the system's WinINet. The login goes with the request itself (basic
// authentication), not only once the box has asked for it.
#include <windows.h>
#include <wininet.h>

#include <string>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "kvx/receiver_web.h"

namespace {

std::string base64(std::string_view text) {
    static constexpr char Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 3) {
        const std::size_t left = text.size() - i;
        const unsigned value = static_cast<unsigned char>(text[i]) << 16 |
                               (left > 1 ? static_cast<unsigned char>(text[i + 1]) << 8 : 0u) |
                               (left > 2 ? static_cast<unsigned char>(text[i + 2]) : 0u);
        out += Digits[value >> 18 & 63];
        out += Digits[value >> 12 & 63];
        out += left > 1 ? Digits[value >> 6 & 63] : '=';
        out += left > 2 ? Digits[value & 63] : '=';
    }
    return out;
}

struct Handles {
    HINTERNET internet = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
    ~Handles() {
        for (HINTERNET handle : {request, connection, internet}) {
            if (handle != nullptr) InternetCloseHandle(handle);
        }
    }
};

std::string failure(const ReceiverAddress& address) {
    const DWORD error = GetLastError();
    if (error == ERROR_INTERNET_NAME_NOT_RESOLVED) return "cannot find the host " + address.host;
    if (error == ERROR_INTERNET_CANNOT_CONNECT) return "no answer (nothing listens there, or the box is off)";
    if (error == ERROR_INTERNET_TIMEOUT) return "no whole answer within 30 s";
    if (error == ERROR_HTTP_INVALID_SERVER_RESPONSE) return "answers as no web server does";
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   GetModuleHandleA("wininet.dll"), error, 0, text, sizeof text, nullptr);
    std::string out = text;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) out.pop_back();
    return out.empty() ? "error " + std::to_string(error) : out;
}

// A request and its answer, shared by the caller and the thread that makes it. Wine's WinINet can
// keep reading an answer that never ends, whatever its time limits and closed handles: the caller
// waits for the thread only as long as the limit, and a thread still busy then is left to end with
// the process.
struct Request {
    ReceiverAddress address;
    std::string path;
    std::string headers;
    std::size_t limit = 0;
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool answered = false;
    WebAnswer answer;
    std::string why;
};

// Sends the request and reads the whole answer, its body at most the request's limit.
bool readAnswer(Request& request, WebAnswer& answer, std::string& why) {
    const ReceiverAddress& address = request.address;
    Handles handles;
    handles.internet = InternetOpenA("kvx", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (handles.internet == nullptr) {
        why = failure(address);
        return false;
    }
    DWORD connect = 10000, reply = 30000;
    InternetSetOptionA(handles.internet, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionA(handles.internet, INTERNET_OPTION_RECEIVE_TIMEOUT, &reply, sizeof reply);
    InternetSetOptionA(handles.internet, INTERNET_OPTION_SEND_TIMEOUT, &reply, sizeof reply);
    handles.connection =
        InternetConnectA(handles.internet, address.host.c_str(), static_cast<INTERNET_PORT>(address.port), nullptr,
                         nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_AUTO_REDIRECT |
                        INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTH;
    if (handles.connection != nullptr)
        handles.request =
            HttpOpenRequestA(handles.connection, "GET", request.path.c_str(), nullptr, nullptr, nullptr, flags, 0);
    const std::string& headers = request.headers;
    if (handles.request == nullptr || !HttpSendRequestA(handles.request, headers.empty() ? nullptr : headers.c_str(),
                                                        static_cast<DWORD>(headers.size()), nullptr, 0)) {
        why = failure(address);
        return false;
    }
    DWORD status = 0, size = sizeof status;
    if (!HttpQueryInfoA(handles.request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) {
        why = "answers as no web server does";
        return false;
    }
    answer.status = static_cast<long>(status);
    char buffer[16 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(handles.request, buffer, sizeof buffer, &got)) {
            why = failure(address);
            return false;
        }
        if (got == 0) return true;
        if (answer.body.size() + got > request.limit) {
            why = "answered with more than " + std::to_string(request.limit) + " bytes";
            return false;
        }
        answer.body.append(buffer, got);
    }
}

void perform(const std::shared_ptr<Request>& request) {
    WebAnswer answer;
    std::string why;
    const bool answered = readAnswer(*request, answer, why);
    const std::lock_guard<std::mutex> lock(request->mutex);
    request->answered = answered;
    request->answer = std::move(answer);
    request->why = std::move(why);
    request->done = true;
    request->finished.notify_one();
}

}  // namespace

bool webGet(const ReceiverAddress& address, const std::string& user, const std::string& password,
            std::string_view target, std::size_t limit, WebAnswer& answer, std::string& why) {
    const auto request = std::make_shared<Request>();
    request->address = address;
    request->path = address.path + std::string(target);
    if (!user.empty()) request->headers = "Authorization: Basic " + base64(user + ":" + password) + "\r\n";
    request->limit = limit;
    std::thread(perform, request).detach();
    std::unique_lock<std::mutex> lock(request->mutex);
    if (!request->finished.wait_for(lock, std::chrono::seconds(30), [&] { return request->done; })) {
        why = "no whole answer within 30 s";
        return false;
    }
    answer = std::move(request->answer);
    why = request->why;
    return request->answered;
}
