#pragma once
// libcurl for the native kvx, loaded the first time a receiver is named. Linked, its libraries (more
// than thirty on Debian) would be loaded by every run of kvx: about 13 ms each time here, twice what
// kvx check takes on the largest list.

#include <curl/curl.h>

#include <string>

struct CurlCalls {
    CURL* (*easyInit)();
    CURLcode (*easySetopt)(CURL*, CURLoption, ...);
    CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...);
    void (*easyReset)(CURL*);
    void (*easyCleanup)(CURL*);
    const char* (*easyStrerror)(CURLcode);
    char* (*easyEscape)(CURL*, const char*, int);
    void (*free)(void*);
    curl_slist* (*slistAppend)(curl_slist*, const char*);
    void (*slistFreeAll)(curl_slist*);
    CURLM* (*multiInit)();
    CURLMcode (*multiAddHandle)(CURLM*, CURL*);
    CURLMcode (*multiRemoveHandle)(CURLM*, CURL*);
    CURLMcode (*multiPerform)(CURLM*, int*);
    CURLMcode (*multiPoll)(CURLM*, curl_waitfd*, unsigned int, int, int*);
    CURLMsg* (*multiInfoRead)(CURLM*, int*);
    CURLMcode (*multiCleanup)(CURLM*);
};

// The library's calls, loaded and started once; nullptr with why when it is not installed.
const CurlCalls* curlCalls(std::string& why);

// Runs the transfer handle is set up for, in multi (which keeps its connection for the next). The
// transfer is woken every few milliseconds: libcurl 7.88 at times waits for its one-second timer after
// a quick passive-mode reply although the data connection is ready, a second lost per file.
CURLcode curlPerform(const CurlCalls& curl, CURLM* multi, CURL* handle);

// Options every transfer to a receiver takes: the time limits (10 s to connect, 30 s for each
// reply, a transfer that moves nothing for 30 s given up), no proxy and no redirection (nothing goes
// anywhere the user did not name), protocols limited to the one named, and no signals.
void setReceiverLimits(const CurlCalls& curl, CURL* handle, const char* protocol, char* errorBuffer);
