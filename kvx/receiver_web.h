#pragma once
// A request to a box's web interface over HTTP: libcurl natively, the system's WinINet in kvx.exe.
// Basic authentication when a user is given; 10 s to connect and 30 s for the whole answer, whose
// body has a largest size.

#include <cstddef>
#include <string>
#include <string_view>

#include "kvx/receiver_address.h"

struct WebAnswer {
    long status = 0;   // the HTTP status
    std::string body;  // at most limit bytes
};

// GET of target (a path with its query, after the address's own prefix). False with why when no
// whole answer came.
bool webGet(const ReceiverAddress& address, const std::string& user, const std::string& password,
            std::string_view target, std::size_t limit, WebAnswer& answer, std::string& why);
