#include "kvx/diff.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "lists/key_table.h"
#include "lists/report_text.h"

namespace {

inline constexpr std::uint32_t Unmatched = UINT32_MAX;

// The stream count and its 32 entries: bytes that no field shows, reported together as "streams".
inline constexpr std::size_t StreamsBegin = offsetof(ChannelRecord, streamCount);
inline constexpr std::size_t StreamsEnd = offsetof(ChannelRecord, reserved414);

const std::uint8_t* bytesOf(const ChannelRecord& record) { return reinterpret_cast<const std::uint8_t*>(&record); }

// The stored number of a one-, two- or four-byte field, for values whose cell texts are equal although
// their bytes are not (two categories of the same name).
std::int64_t storedNumber(const ChannelRecord& record, const RecordField& field) {
    const std::uint8_t* bytes = bytesOf(record) + field.offset;
    switch (fieldSize(field.kind)) {
        case 1: return bytes[0];
        case 2: return LittleEndian16{{bytes[0], bytes[1]}}.get();
        default: return LittleEndian32{{bytes[0], bytes[1], bytes[2], bytes[3]}}.get();
    }
}

// A text field's own bytes, up to its first NUL.
std::string_view storedText(const ChannelRecord& record, const RecordField& field) {
    const auto* text = reinterpret_cast<const char*>(bytesOf(record) + field.offset);
    return {text, static_cast<std::size_t>(std::find(text, text + TextFieldSize, '\0') - text)};
}

struct Differ {
    const FieldContext& context;
    std::string& out;
    const RecordField* nameField = findRecordField("name");
    bool utf8 = context.codePage != 0;
    bool reserved[ChannelRecordSize] = {};  // bytes that neither a field nor the streams cover

    void appendName(const ChannelRecord& record) {
        if (nameField != nullptr)
            appendQuoted(out, fieldValueText(record, *nameField, context), utf8);
        else
            appendQuoted(out, fieldText(record.name), false);
    }

    // `changed 4 "Name": ` -- the start of every line about a matched channel whose bytes differ.
    void beginChanged(std::size_t newIndex, const ChannelRecord& record) {
        out += "changed ";
        appendNumber(out, static_cast<std::int64_t>(newIndex + 1));
        out += ' ';
        appendName(record);
        out += ": ";
    }

    void appendValue(const RecordField& field, std::string_view text) {
        if (field.kind == FieldKind::Text)
            appendQuoted(out, text, utf8);
        else
            appendPrintable(out, text, utf8);
    }

    void fieldChange(std::size_t newIndex, const ChannelRecord& before, const ChannelRecord& after,
                     const RecordField& field) {
        beginChanged(newIndex, after);
        out += field.column;
        out += ' ';
        const std::string oldText = fieldValueText(before, field, context);
        const std::string newText = fieldValueText(after, field, context);
        if (oldText != newText) {
            appendValue(field, oldText);
            out += " -> ";
            appendValue(field, newText);
        } else if (field.kind == FieldKind::Text) {
            const std::string_view oldRaw = storedText(before, field);
            const std::string_view newRaw = storedText(after, field);
            if (oldRaw == newRaw) {
                out += "bytes after the NUL differ";
            } else {  // different bytes the code page turns into the same text: show the bytes
                appendQuoted(out, oldRaw, false);
                out += " -> ";
                appendQuoted(out, newRaw, false);
            }
        } else {
            appendNumber(out, storedNumber(before, field));
            out += " -> ";
            appendNumber(out, storedNumber(after, field));
        }
        out += '\n';
    }

    void streamsChange(std::size_t newIndex, const ChannelRecord& before, const ChannelRecord& after) {
        beginChanged(newIndex, after);
        out += "streams differ (";
        if (before.streamCount != after.streamCount) {
            out += "stream_count ";
            appendNumber(out, before.streamCount);
            out += " -> ";
            appendNumber(out, after.streamCount);
        } else {
            int entry = 0;
            while (entry < MaxStreams &&
                   std::memcmp(&before.streams[entry], &after.streams[entry], sizeof(StreamEntry)) == 0)
                ++entry;
            if (entry < shownStreamCount(after)) {
                out += "first at entry ";
                appendNumber(out, entry + 1);
            } else {
                out += "in entries past stream_count";
            }
        }
        out += ")\n";
    }

    // One line per changed field, then one for the streams and one for the reserved bytes; returns
    // whether the records differ at all.
    bool recordChanges(std::size_t newIndex, const ChannelRecord& before, const ChannelRecord& after) {
        const std::uint8_t* oldBytes = bytesOf(before);
        const std::uint8_t* newBytes = bytesOf(after);
        if (std::memcmp(oldBytes, newBytes, ChannelRecordSize) == 0) return false;

        for (const RecordField& field : RecordFields) {
            if (std::memcmp(oldBytes + field.offset, newBytes + field.offset, fieldSize(field.kind)) != 0)
                fieldChange(newIndex, before, after, field);
        }
        if (std::memcmp(oldBytes + StreamsBegin, newBytes + StreamsBegin, StreamsEnd - StreamsBegin) != 0)
            streamsChange(newIndex, before, after);
        for (std::size_t offset = 0; offset < ChannelRecordSize; ++offset) {
            if (reserved[offset] && oldBytes[offset] != newBytes[offset]) {
                beginChanged(newIndex, after);
                out += "reserved bytes differ (first at offset ";
                appendNumber(out, static_cast<std::int64_t>(offset));
                out += ")\n";
                break;
            }
        }
        return true;
    }
};

std::uint32_t serviceKey(const ChannelRecord& record) {
    return (std::uint32_t{record.tid.get()} << 16) | record.sid.get();
}

// The TID and SID of every channel, gathered in a loop of their own: the loads are independent of
// each other, so the reads of records far apart in memory overlap.
std::vector<std::uint32_t> serviceKeys(std::span<const ChannelRecord> list) {
    std::vector<std::uint32_t> keys(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) keys[i] = serviceKey(list[i]);
    return keys;
}

// For every channel of one list, its partner in the other or Unmatched: channels pair by TID and SID,
// and the k-th channel with a key in one list pairs with the k-th with that key in the other. The new
// list's channels are chained by key in list order; each old channel takes the next of its chain.
void matchChannels(std::span<const ChannelRecord> oldList, std::span<const ChannelRecord> newList,
                   std::vector<std::uint32_t>& newOfOld, std::vector<std::uint32_t>& oldOfNew) {
    const std::vector<std::uint32_t> oldKeys = serviceKeys(oldList);
    const std::vector<std::uint32_t> newKeys = serviceKeys(newList);
    newOfOld.assign(oldList.size(), Unmatched);
    oldOfNew.assign(newList.size(), Unmatched);
    const WordHash hash = randomWordHash(1);
    KeyChains chains = keyChainsFor(newList.size());
    for (std::size_t j = 0; j < newKeys.size(); ++j) {
        const std::uint32_t key[] = {newKeys[j]};
        addToChain(chains, hashWords(hash, key), static_cast<std::uint32_t>(j),
                   [&](std::uint32_t k) { return newKeys[k] == key[0]; });
    }
    // At a chain's first: its next channel not taken yet.
    std::vector<std::uint32_t> waiting = std::move(chains.last);
    for (std::size_t j = 0; j < waiting.size(); ++j)
        if (waiting[j] != NoPosition) waiting[j] = static_cast<std::uint32_t>(j);
    for (std::size_t i = 0; i < oldKeys.size(); ++i) {
        const std::uint32_t key[] = {oldKeys[i]};
        const std::uint32_t first =
            findKey(chains.table, hashWords(hash, key), [&](std::uint32_t k) { return newKeys[k] == key[0]; });
        if (first == NoPosition || waiting[first] == NoPosition) continue;
        const std::uint32_t newIndex = waiting[first];
        waiting[first] = chains.next[newIndex];
        newOfOld[i] = newIndex;
        oldOfNew[newIndex] = static_cast<std::uint32_t>(i);
    }
}

// Matched channels that keep their relative order stay put; the others are moved. The ones that stay
// are a longest increasing run of new positions taken in old order (patience sorting, n log n). A
// list mostly in order extends the longest run at nearly every step, which needs no search.
std::vector<bool> findMoved(const std::vector<std::uint32_t>& newOfOld, std::size_t newCount) {
    std::vector<std::uint32_t> sequence;  // new positions of the matched channels, in old order
    sequence.reserve(newOfOld.size());
    for (const std::uint32_t newIndex : newOfOld)
        if (newIndex != Unmatched) sequence.push_back(newIndex);

    constexpr std::uint32_t None = UINT32_MAX;
    std::vector<std::uint32_t> tails;       // tails[k]: element ending the smallest-ended run of length k + 1
    std::vector<std::uint32_t> tailValues;  // sequence[tails[k]], increasing
    std::vector<std::uint32_t> previous(sequence.size());
    for (std::size_t i = 0; i < sequence.size(); ++i) {
        const std::uint32_t value = sequence[i];
        const std::size_t slot =
            tailValues.empty() || tailValues.back() < value
                ? tailValues.size()
                : static_cast<std::size_t>(std::lower_bound(tailValues.begin(), tailValues.end(), value) -
                                           tailValues.begin());
        previous[i] = slot == 0 ? None : tails[slot - 1];
        if (slot == tails.size()) {
            tails.push_back(static_cast<std::uint32_t>(i));
            tailValues.push_back(value);
        } else {
            tails[slot] = static_cast<std::uint32_t>(i);
            tailValues[slot] = value;
        }
    }

    std::vector<bool> moved(newCount, false);
    for (const std::uint32_t newIndex : sequence) moved[newIndex] = true;
    for (std::uint32_t i = tails.empty() ? None : tails.back(); i != None; i = previous[i]) moved[sequence[i]] = false;
    return moved;
}

}  // namespace

std::size_t diffLists(std::span<const ChannelRecord> oldList, std::span<const ChannelRecord> newList,
                      const FieldContext& context, std::string& out) {
    Differ differ{context, out};
    std::fill(std::begin(differ.reserved), std::end(differ.reserved), true);
    std::fill(differ.reserved + StreamsBegin, differ.reserved + StreamsEnd, false);
    for (const RecordField& field : RecordFields)
        std::fill(differ.reserved + field.offset, differ.reserved + field.offset + fieldSize(field.kind), false);

    std::vector<std::uint32_t> newOfOld;
    std::vector<std::uint32_t> oldOfNew;
    matchChannels(oldList, newList, newOfOld, oldOfNew);
    const std::vector<bool> moved = findMoved(newOfOld, newList.size());

    std::size_t added = 0;
    std::size_t removed = 0;
    std::size_t movedCount = 0;
    std::size_t changed = 0;
    for (std::size_t i = 0; i < oldList.size(); ++i) {
        if (newOfOld[i] != Unmatched) continue;
        ++removed;
        out += "- ";
        appendNumber(out, static_cast<std::int64_t>(i + 1));
        out += ' ';
        differ.appendName(oldList[i]);
        out += '\n';
    }
    for (std::size_t j = 0; j < newList.size(); ++j) {
        const std::uint32_t oldIndex = oldOfNew[j];
        if (oldIndex == Unmatched) {
            ++added;
            out += "+ ";
            appendNumber(out, static_cast<std::int64_t>(j + 1));
            out += ' ';
            differ.appendName(newList[j]);
            out += '\n';
            continue;
        }
        if (moved[j]) {
            ++movedCount;
            out += "moved ";
            appendNumber(out, oldIndex + std::int64_t{1});
            out += " -> ";
            appendNumber(out, static_cast<std::int64_t>(j + 1));
            out += ' ';
            differ.appendName(newList[j]);
            out += '\n';
        }
        if (differ.recordChanges(j, oldList[oldIndex], newList[j])) ++changed;
    }

    appendNumber(out, static_cast<std::int64_t>(added));
    out += " added, ";
    appendNumber(out, static_cast<std::int64_t>(removed));
    out += " removed, ";
    appendNumber(out, static_cast<std::int64_t>(movedCount));
    out += " moved, ";
    appendNumber(out, static_cast<std::int64_t>(changed));
    out += " changed\n";
    return added + removed + movedCount + changed;
}
