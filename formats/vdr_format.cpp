#include "formats/vdr_format.h"

bool exportVdr(std::span<const ChannelRecord>, const FormatOptions&, std::string&, FormatReport& report) {
    report.problems.push_back({0, "", "not written yet"});
    return false;
}

bool importVdr(std::string_view, const FormatOptions&, std::vector<ChannelRecord>&, FormatReport& report) {
    report.problems.push_back({0, "", "not written yet"});
    return false;
}
