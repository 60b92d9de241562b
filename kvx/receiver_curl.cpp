#include "kvx/receiver_curl.h"

#include <dlfcn.h>

namespace {

template <typename Call>
bool load(void* library, const char* name, Call& call, std::string& why) {
    void* found = dlsym(library, name);
    if (found == nullptr) {
        why = std::string("libcurl lacks ") + name;
        return false;
    }
    call = reinterpret_cast<Call>(found);
    return true;
}

bool loadCalls(CurlCalls& calls, std::string& why) {
    void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* error = dlerror();
        why = std::string("libcurl cannot be loaded (Debian package libcurl4): ") + (error != nullptr ? error : "");
        return false;
    }
    CURLcode (*globalInit)(long) = nullptr;
    const bool loaded =
        load(library, "curl_global_init", globalInit, why) && load(library, "curl_easy_init", calls.easyInit, why) &&
        load(library, "curl_easy_setopt", calls.easySetopt, why) &&
        load(library, "curl_easy_getinfo", calls.easyGetinfo, why) &&
        load(library, "curl_easy_reset", calls.easyReset, why) &&
        load(library, "curl_easy_cleanup", calls.easyCleanup, why) &&
        load(library, "curl_easy_strerror", calls.easyStrerror, why) &&
        load(library, "curl_easy_escape", calls.easyEscape, why) && load(library, "curl_free", calls.free, why) &&
        load(library, "curl_slist_append", calls.slistAppend, why) &&
        load(library, "curl_slist_free_all", calls.slistFreeAll, why) &&
        load(library, "curl_multi_init", calls.multiInit, why) &&
        load(library, "curl_multi_add_handle", calls.multiAddHandle, why) &&
        load(library, "curl_multi_remove_handle", calls.multiRemoveHandle, why) &&
        load(library, "curl_multi_perform", calls.multiPerform, why) &&
        load(library, "curl_multi_poll", calls.multiPoll, why) &&
        load(library, "curl_multi_info_read", calls.multiInfoRead, why) &&
        load(library, "curl_multi_cleanup", calls.multiCleanup, why);
    if (!loaded) return false;
    if (globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        why = "libcurl did not start";
        return false;
    }
    return true;
}

}  // namespace

const CurlCalls* curlCalls(std::string& why) {
    static CurlCalls calls{};
    static std::string failure;
    static const bool loaded = loadCalls(calls, failure);
    if (!loaded) why = failure;
    return loaded ? &calls : nullptr;
}

CURLcode curlPerform(const CurlCalls& curl, CURLM* multi, CURL* handle) {
    if (curl.multiAddHandle(multi, handle) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
    CURLcode result = CURLE_OK;
    for (int running = 1; running != 0;) {
        if (curl.multiPerform(multi, &running) != CURLM_OK) {
            result = CURLE_RECV_ERROR;
            break;
        }
        if (running != 0) curl.multiPoll(multi, nullptr, 0, 5, nullptr);
    }
    int left = 0;
    while (const CURLMsg* message = curl.multiInfoRead(multi, &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == handle) result = message->data.result;
    }
    curl.multiRemoveHandle(multi, handle);
    return result;
}

void setReceiverLimits(const CurlCalls& curl, CURL* handle, const char* protocol, char* errorBuffer) {
    curl.easySetopt(handle, CURLOPT_ERRORBUFFER, errorBuffer);
    curl.easySetopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl.easySetopt(handle, CURLOPT_CONNECTTIMEOUT, 10L);
    curl.easySetopt(handle, CURLOPT_SERVER_RESPONSE_TIMEOUT, 30L);
    curl.easySetopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl.easySetopt(handle, CURLOPT_LOW_SPEED_TIME, 30L);
    curl.easySetopt(handle, CURLOPT_NOPROXY, "*");
    curl.easySetopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
    curl.easySetopt(handle, CURLOPT_PROTOCOLS_STR, protocol);
}
