#include "formats/enigma2_format.h"

namespace {

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

bool isEnigma2SettingsFile(std::string_view name) {
    if (name == "lamedb" || name == "lamedb5" || name == "bouquets.tv" || name == "bouquets.radio") return true;
    return name.rfind("userbouquet.", 0) == 0 && (endsWith(name, ".tv") || endsWith(name, ".radio"));
}
