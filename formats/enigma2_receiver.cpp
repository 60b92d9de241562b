#include "formats/enigma2_receiver.h"

#include <algorithm>

#include "formats/enigma2_format.h"

namespace {

std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The text of the first <tag>...</tag>, or false.
bool element(std::string_view xml, std::string_view tag, std::string_view& text) {
    std::string open(1, '<'), close("</");  // built piece by piece: GCC 12 for 32-bit Windows sees a false
    open.append(tag) += '>';                // overlap in a sum of strings
    close.append(tag) += '>';
    const std::size_t start = xml.find(open);
    if (start == std::string_view::npos) return false;
    const std::size_t end = xml.find(close, start + open.size());
    if (end == std::string_view::npos) return false;
    text = trimmed(xml.substr(start + open.size(), end - start - open.size()));
    return true;
}

bool safeBouquetName(std::string_view name) {
    if (name.size() > 255 || name.find_first_of("/\\") != std::string_view::npos ||
        name.find("..") != std::string_view::npos)
        return false;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    }
    return name.starts_with("userbouquet.") && isEnigma2SettingsFile(name);
}

}  // namespace

void bouquetFilesNamed(std::string_view bouquets, std::vector<std::string>& names, int& refused) {
    constexpr std::string_view From = "FROM BOUQUET \"";
    for (std::size_t at = 0; at < bouquets.size();) {
        const std::size_t end = std::min(bouquets.find('\n', at), bouquets.size());
        const std::string_view line = bouquets.substr(at, end - at);
        at = end + 1;
        if (!line.starts_with("#SERVICE")) continue;
        const std::size_t start = line.find(From);
        if (start == std::string_view::npos) continue;
        const std::size_t close = line.find('"', start + From.size());
        if (close == std::string_view::npos) continue;
        const std::string_view name = line.substr(start + From.size(), close - start - From.size());
        if (!safeBouquetName(name)) {
            ++refused;
        } else if (std::find(names.begin(), names.end(), name) == names.end()) {
            names.emplace_back(name);
        }
    }
}

bool readReloadAnswer(std::string_view answer, std::string& text) {
    std::string_view state, stateText;
    if (!element(answer, "e2state", state)) {
        text = "no <e2state> in the answer";
        return false;
    }
    text = element(answer, "e2statetext", stateText) ? std::string(stateText) : "e2state " + std::string(state);
    return state == "True" || state == "true";
}
