#include "kvx/order.h"

#include "form/form_text.h"

OrderResult orderLike(std::span<const ChannelRecord> reference, std::span<const ChannelRecord> list, int codePage,
                      bool dropUnmatched) {
    const std::vector<TieredMatch> matches = matchInTiers(reference, list, codePage);
    OrderResult result;
    result.order.reserve(list.size());
    result.placedBy.reserve(list.size());
    result.referenceOf.reserve(list.size());
    std::vector<bool> placed(list.size(), false);
    for (std::size_t r = 0; r < matches.size(); ++r) {
        const TieredMatch& match = matches[r];
        if (match.tier == MatchTier::Unmatched) {
            result.missing.push_back(static_cast<int>(r));
            continue;
        }
        result.order.push_back(match.position);
        result.placedBy.push_back(match.tier);
        result.referenceOf.push_back(static_cast<int>(r));
        ++result.perTier[static_cast<std::size_t>(match.tier)];
        placed[match.position] = true;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (placed[i]) continue;
        ++result.newCount;
        if (dropUnmatched) continue;
        result.order.push_back(static_cast<int>(i));
        result.placedBy.push_back(MatchTier::Unmatched);
        result.referenceOf.push_back(NoMatch);
    }
    return result;
}

namespace {

// The first 29 bytes of text, shortened to a character's start when the text is UTF-8 (a code page
// of one byte a character cuts anywhere).
std::string_view cutName(std::string_view text, int codePage) {
    std::size_t length = TextFieldSize - 1;
    if (codePage == 0) {
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
        if (length == 0) length = TextFieldSize - 1;  // not UTF-8 at all: bytes
    }
    return text.substr(0, length);
}

}  // namespace

namespace {

// list[i] becomes the old list[source[i]], for a source that holds every position once.
void permute(std::vector<ChannelRecord>& list, const std::vector<int>& source) {
    std::vector<bool> done(list.size(), false);
    for (std::size_t start = 0; start < list.size(); ++start) {
        if (done[start] || source[start] == static_cast<int>(start)) continue;
        const ChannelRecord first = list[start];
        std::size_t at = start;
        while (true) {
            done[at] = true;
            const auto from = static_cast<std::size_t>(source[at]);
            if (from == start) {
                list[at] = first;
                break;
            }
            list[at] = list[from];
            at = from;
        }
    }
}

}  // namespace

void arrangeLike(std::vector<ChannelRecord>& list, const OrderResult& result, std::span<const ChannelRecord> reference,
                 const OrderCopy& copy, std::vector<std::string>& notes) {
    // Dropped channels go to the end, then away.
    std::vector<int> source = result.order;
    if (source.size() < list.size()) {
        std::vector<bool> kept(list.size(), false);
        for (const int position : source) kept[position] = true;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (!kept[i]) source.push_back(static_cast<int>(i));
        }
    }
    permute(list, source);
    list.resize(result.order.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        ChannelRecord& record = list[i];
        const int r = result.referenceOf[i];
        if (r == NoMatch) {
            if (copy.newCategory >= 0) record.category = static_cast<std::uint8_t>(copy.newCategory);
            continue;
        }
        if (copy.categories) record.category = reference[r].category;
        if (!copy.names) continue;
        std::string_view name = fieldText(reference[r].name);
        if (name == fieldText(record.name)) continue;  // its own bytes stay, past the NUL as well
        if (name.size() > TextFieldSize - 1) {
            name = cutName(name, copy.codePage);
            notes.push_back("channel " + std::to_string(i + 1) + ": the reference's name of " +
                            std::to_string(TextFieldSize) + " bytes is cut to " + std::to_string(name.size()));
        }
        storeFieldText(record.name, name);
    }
}
