#include "kvx/receiver_address.h"

#include <cctype>
#include <charconv>

namespace {

struct Scheme {
    std::string_view prefix;
    ReceiverKind kind;
    int port;
};

constexpr Scheme Schemes[] = {
    {"ftp://", ReceiverKind::Ftp, 21}, {"svdrp://", ReceiverKind::Svdrp, 6419}, {"http://", ReceiverKind::Web, 80}};

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// %XX escapes undone; false for a broken escape or a control character.
bool decode(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
            const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
            if (low < 0) return false;
            c = static_cast<char>(high * 16 + low);
            i += 2;
        }
        if (isControl(c)) return false;
        out += c;
    }
    return true;
}

}  // namespace

bool isReceiverName(std::string_view name) {
    return startsWithNoCase(name, "ftp://") || startsWithNoCase(name, "svdrp://");
}

bool parseReceiverAddress(std::string_view name, ReceiverAddress& address, std::string& why) {
    address = ReceiverAddress{};
    const Scheme* scheme = nullptr;
    for (const Scheme& candidate : Schemes) {
        if (startsWithNoCase(name, candidate.prefix)) scheme = &candidate;
    }
    if (scheme == nullptr) {
        why = "not a receiver's name (ftp://, svdrp:// or http://)";
        return false;
    }
    address.kind = scheme->kind;
    address.port = scheme->port;
    std::string_view rest = name.substr(scheme->prefix.size());
    const std::size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    const std::string_view path = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);

    std::string_view shownUser;
    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        const std::string_view userInfo = authority.substr(0, at);
        const std::size_t colon = userInfo.find(':');
        shownUser = userInfo.substr(0, colon);
        address.passwordGiven = colon != std::string_view::npos;
        if (shownUser.empty() || !decode(shownUser, address.user) ||
            (address.passwordGiven && !decode(userInfo.substr(colon + 1), address.password))) {
            why = "the user or password before '@' is empty or holds a broken %XX or a control character";
            return false;
        }
        authority.remove_prefix(at + 1);
    }

    std::string_view host = authority, port;
    if (authority.starts_with('[')) {
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) {
            why = "an IPv6 address without its ']'";
            return false;
        }
        host = authority.substr(1, close - 1);
        port = authority.substr(close + 1);
        if (!port.empty() && !port.starts_with(':')) {
            why = "something other than a port after the IPv6 address";
            return false;
        }
        if (!port.empty()) port.remove_prefix(1);
    } else if (const std::size_t colon = authority.rfind(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    for (const char c : host) {
        if (isControl(c) || c == ' ' || c == '%' || c == '@' || c == '[' || c == ']') host = {};
    }
    if (host.empty()) {
        why = "no host name, or one with characters a host name cannot hold";
        return false;
    }
    address.host = host;
    if (authority.back() == ':' || !port.empty()) {
        const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), address.port);
        if (port.empty() || error != std::errc() || end != port.data() + port.size() || address.port < 1 ||
            address.port > 65535) {
            why = "the port is not a number from 1 to 65535";
            return false;
        }
    }

    if (!decode(path, address.path) || address.path.find_first_of("?#") != std::string::npos) {
        why = "the path holds a broken %XX, a control character, '?' or '#'";
        return false;
    }
    while (address.path.size() > 1 && address.path.back() == '/') address.path.pop_back();
    if (address.kind == ReceiverKind::Ftp && (address.path.empty() || address.path == "/")) {
        why = "no settings folder: name it after the host, as ftp://root@box/etc/enigma2";
        return false;
    }
    if (address.kind == ReceiverKind::Svdrp && !address.path.empty() && address.path != "/") {
        why = "an SVDRP recorder takes no path: svdrp://HOST or svdrp://HOST:PORT";
        return false;
    }
    if (address.kind != ReceiverKind::Ftp && address.path == "/") address.path.clear();

    address.shown.assign(scheme->prefix);
    if (!shownUser.empty()) (address.shown += shownUser) += '@';
    address.shown += authority;
    address.shown += path;
    return true;
}
