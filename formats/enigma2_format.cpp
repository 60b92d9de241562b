#include "formats/enigma2_format.h"

bool exportEnigma2(std::span<const ChannelRecord>, const FormatOptions&, std::vector<NamedFile>&,
                   FormatReport& report) {
    report.problems.push_back({0, "", "not written yet"});
    return false;
}

bool importEnigma2(std::span<const NamedFile>, const FormatOptions&, std::vector<ChannelRecord>&,
                   FormatReport& report) {
    report.problems.push_back({0, "", "not written yet"});
    return false;
}

bool isEnigma2SettingsFile(std::string_view name) { return name == "lamedb"; }
