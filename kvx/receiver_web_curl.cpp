// The box's web interface with libcurl.
#include <string>

#include "kvx/receiver_curl.h"
#include "kvx/receiver_web.h"
#include "lists/report_text.h"

namespace {

struct Sink {
    std::string* body;
    std::size_t limit;
    bool tooLarge;
};

std::size_t keep(char* data, std::size_t size, std::size_t count, void* user) {
    Sink& sink = *static_cast<Sink*>(user);
    if (sink.body->size() + size * count > sink.limit) {
        sink.tooLarge = true;
        return 0;
    }
    sink.body->append(data, size * count);
    return size * count;
}

}  // namespace

bool webGet(const ReceiverAddress& address, const std::string& user, const std::string& password,
            std::string_view target, std::size_t limit, WebAnswer& answer, std::string& why) {
    const CurlCalls* curl = curlCalls(why);
    if (curl == nullptr) return false;
    CURL* handle = curl->easyInit();
    CURLM* multi = curl->multiInit();
    if (handle == nullptr || multi == nullptr) {
        if (handle != nullptr) curl->easyCleanup(handle);
        if (multi != nullptr) curl->multiCleanup(multi);
        why = "libcurl did not start a session";
        return false;
    }
    char error[CURL_ERROR_SIZE] = {};
    setReceiverLimits(*curl, handle, "http", error);
    const std::string url = "http://" +
                            (address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host) +
                            ":" + std::to_string(address.port) + address.path + std::string(target);
    curl->easySetopt(handle, CURLOPT_URL, url.c_str());
    curl->easySetopt(handle, CURLOPT_TIMEOUT, 30L);
    if (!user.empty()) {
        curl->easySetopt(handle, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        curl->easySetopt(handle, CURLOPT_USERNAME, user.c_str());
        curl->easySetopt(handle, CURLOPT_PASSWORD, password.c_str());
    }
    answer = WebAnswer{};
    Sink sink{&answer.body, limit, false};
    curl->easySetopt(handle, CURLOPT_WRITEFUNCTION, keep);
    curl->easySetopt(handle, CURLOPT_WRITEDATA, &sink);
    const CURLcode result = curlPerform(*curl, multi, handle);
    curl->easyGetinfo(handle, CURLINFO_RESPONSE_CODE, &answer.status);
    curl->easyCleanup(handle);
    curl->multiCleanup(multi);
    if (result == CURLE_OK) return true;
    if (sink.tooLarge) {
        why = "answered with more than " + std::to_string(limit) + " bytes";
    } else if (result == CURLE_COULDNT_CONNECT) {
        why = "no answer (nothing listens there, or the box is off)";
    } else if (result == CURLE_COULDNT_RESOLVE_HOST) {
        why = "cannot find the host " + address.host;
    } else if (result == CURLE_OPERATION_TIMEDOUT) {
        why = "no whole answer within 30 s";
    } else if (result == CURLE_WEIRD_SERVER_REPLY || result == CURLE_UNSUPPORTED_PROTOCOL) {
        why = "answers as no web server does";
    } else {
        why = curl->easyStrerror(result);
    }
    if (error[0] != '\0') {
        why += " [";
        appendPrintable(why, error, false);
        why += "]";
    }
    return false;
}
