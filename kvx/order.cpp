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

void arrangeLike(std::span<const ChannelRecord> list, const OrderResult& result,
                 std::span<const ChannelRecord> reference, const OrderCopy& copy, RecordList& records,
                 std::vector<std::string>& notes) {
    // Each record is written once, in its new place, into room reserved for the whole result (by
    // the caller, in large pages).
    records.clear();
    records.reserve(result.order.size());
    for (const int position : result.order) records.push_back(list[static_cast<std::size_t>(position)]);
    for (std::size_t i = 0; i < records.size(); ++i) {
        ChannelRecord& record = records[i];
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
