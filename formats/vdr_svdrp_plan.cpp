#include "formats/vdr_svdrp_plan.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <deque>
#include <utility>

namespace {

constexpr std::size_t None = static_cast<std::size_t>(-1);

// A line of the recorder's list as the plan sees it while it changes.
struct Item {
    std::string_view text;
    std::string_view id;  // a channel's
    bool group = false;
    int at = 0;  // a group line's ":@N"
};

// The recorder's list, changed command by command as the recorder will change it, so that every
// command names the channel numbers the recorder has then. Numbers are worked out from the start as
// far as one is asked for, and again only from where the list last changed.
struct Model {
    std::vector<Item> items;
    std::vector<int> order;             // items in list order
    std::vector<std::size_t> position;  // by item: its index in order; None once deleted
    std::vector<int> counterBefore;     // by index: the number the next channel gets there
    std::size_t numbered = 0;           // counterBefore holds for indices below this
    bool numberedGroups = false;
    int channels = 0;
};

int groupNumber(std::string_view text) {
    if (text.size() < 3 || text[1] != '@') return 0;
    int number = 0;
    const auto [end, error] = std::from_chars(text.data() + 2, text.data() + text.size(), number);
    return error == std::errc() && end != text.data() + 2 && number > 0 ? number : 0;
}

int append(Model& model, const Item& item) {
    const int id = static_cast<int>(model.items.size());
    model.items.push_back(item);
    model.position.push_back(model.order.size());
    model.order.push_back(id);
    model.channels += item.group ? 0 : 1;
    model.numberedGroups = model.numberedGroups || item.at > 0;
    return id;
}

void renumberFrom(Model& model, std::size_t first, std::size_t last) {
    for (std::size_t i = first; i <= last && i < model.order.size(); ++i)
        model.position[static_cast<std::size_t>(model.order[i])] = i;
    model.numbered = std::min(model.numbered, first);
}

void erase(Model& model, int item) {
    const std::size_t at = model.position[static_cast<std::size_t>(item)];
    model.order.erase(model.order.begin() + static_cast<std::ptrdiff_t>(at));
    model.position[static_cast<std::size_t>(item)] = None;
    renumberFrom(model, at, model.order.size());
    model.channels -= model.items[static_cast<std::size_t>(item)].group ? 0 : 1;
}

void moveTo(Model& model, int item, std::size_t to) {
    const std::size_t from = model.position[static_cast<std::size_t>(item)];
    const auto at = [&](std::size_t i) { return model.order.begin() + static_cast<std::ptrdiff_t>(i); };
    if (from < to) std::rotate(at(from), at(from + 1), at(to + 1));
    if (from > to) std::rotate(at(to), at(from), at(from + 1));
    renumberFrom(model, std::min(from, to), std::max(from, to));
}

// The recorder's numbering: from 1, a channel takes the next number, a group ":@N" moves it up to N.
int numberAt(Model& model, std::size_t index) {
    if (model.counterBefore.size() < model.order.size()) model.counterBefore.resize(model.order.size());
    for (; model.numbered <= index; ++model.numbered) {
        const std::size_t i = model.numbered;
        int counter = 1;
        if (i > 0) {
            const Item& before = model.items[static_cast<std::size_t>(model.order[i - 1])];
            counter = before.group ? std::max(model.counterBefore[i - 1], before.at) : model.counterBefore[i - 1] + 1;
        }
        model.counterBefore[i] = counter;
    }
    return model.counterBefore[index];
}

int numberOf(Model& model, int item) { return numberAt(model, model.position[static_cast<std::size_t>(item)]); }

bool isChannel(const Model& model, int item) { return item >= 0 && !model.items[static_cast<std::size_t>(item)].group; }

// A channel moved down past a group ":@N" that raises the numbering lands before its target, not
// after it: the recorder's list steps back one line to keep the group's numbers.
bool needsDecrement(Model& model, int from, int to) {
    if (!model.numberedGroups) return false;
    int number = numberOf(model, from);
    const std::size_t end = model.position[static_cast<std::size_t>(to)];
    for (std::size_t i = model.position[static_cast<std::size_t>(from)] + 1; i < end; ++i) {
        const Item& item = model.items[static_cast<std::size_t>(model.order[i])];
        if (item.group && item.at > number) return true;
        if (!item.group) number = numberAt(model, i);
    }
    return false;
}

// The index channel x has once "MOVC x y" ran.
std::size_t landing(Model& model, int x, int y) {
    const std::size_t ix = model.position[static_cast<std::size_t>(x)];
    const std::size_t iy = model.position[static_cast<std::size_t>(y)];
    if (ix > iy) return iy;
    return needsDecrement(model, x, y) ? iy - 1 : iy;
}

int itemAfter(const Model& model, int item) {
    const std::size_t i = item < 0 ? 0 : model.position[static_cast<std::size_t>(item)] + 1;
    return i < model.order.size() ? model.order[i] : -1;
}

struct Planner {
    SvdrpPlan& plan;
    Model model;
    std::vector<std::size_t> deletedBy;  // by item
    std::deque<std::string> texts;       // lines the plan makes itself
};

void command(Planner& planner, std::string text) { planner.plan.commands.push_back(std::move(text)); }

void move(Planner& planner, int x, int y) {
    Model& model = planner.model;
    command(planner, "MOVC " + std::to_string(numberOf(model, x)) + " " + std::to_string(numberOf(model, y)));
    moveTo(model, x, landing(model, x, y));
}

void modify(Planner& planner, int item, std::string_view text, std::string_view id) {
    Model& model = planner.model;
    command(planner, "MODC " + std::to_string(numberOf(model, item)) + " " + std::string(text));
    model.items[static_cast<std::size_t>(item)].text = text;
    model.items[static_cast<std::size_t>(item)].id = id;
}

int add(Planner& planner, std::string_view text, std::string_view id) {
    command(planner, "NEWC " + std::string(text));
    planner.deletedBy.push_back(None);
    return append(planner.model, {text, id, !text.empty() && text.front() == ':', groupNumber(text)});
}

// Puts channel x right after prev (-1: at the list's start) with one MOVC where one does it, else
// by first moving it next to a channel beside that place. False where no channel is beside it.
bool placeAfter(Planner& planner, int x, int prev) {
    Model& model = planner.model;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int next = itemAfter(model, prev);
        if (next == x) return true;
        const int left = isChannel(model, prev) ? prev : -1;
        const int right = isChannel(model, next) ? next : -1;
        for (const int y : {right, left}) {
            if (y < 0) continue;
            const std::size_t land = landing(model, x, y);
            const std::size_t ix = model.position[static_cast<std::size_t>(x)];
            const int before = land == 0 ? -1 : model.order[land - 1 < ix ? land - 1 : land];
            if (before == prev) {
                move(planner, x, y);
                return true;
            }
        }
        const int anchor = left >= 0 ? left : right;
        if (anchor < 0) return false;
        move(planner, x, anchor);
    }
    return false;
}

// The wanted channels.conf, line by line, with each channel's ID and the recorder's channel of that ID.
struct Wanted {
    std::vector<std::string_view> lines;
    std::vector<std::string> ids;                    // empty for a group line
    std::vector<int> match;                          // the recorder's item of the same ID, else -1
    std::vector<int> segment;                        // 0 before the first group line, s after the s-th
    std::vector<std::size_t> groupLine;              // by segment: the line of its group (0 for segment 0)
    std::vector<std::vector<std::size_t>> channels;  // by segment: its channels' lines
};

bool isGroupLine(std::string_view line) { return !line.empty() && line.front() == ':'; }

// A text that goes into a command: a line end in it would end the command and start another.
bool oneLine(std::string_view text) { return text.find_first_of("\r\n") == std::string_view::npos; }

bool readWanted(std::string_view text, Wanted& wanted, std::string& why) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        if (!oneLine(line)) {
            why = "line " + std::to_string(wanted.lines.size() + 1) + " of the list to send holds a carriage return";
            return false;
        }
        wanted.lines.push_back(line);
    }
    wanted.ids.resize(wanted.lines.size());
    wanted.groupLine.push_back(0);
    wanted.channels.emplace_back();
    for (std::size_t i = 0; i < wanted.lines.size(); ++i) {
        if (isGroupLine(wanted.lines[i])) {
            wanted.groupLine.push_back(i);
            wanted.channels.emplace_back();
        } else if (!vdrChannelId(wanted.lines[i], wanted.ids[i])) {
            why = "line " + std::to_string(i + 1) + " of the list to send is not a channel line";
            return false;
        } else {
            wanted.channels.back().push_back(i);
        }
        wanted.segment.push_back(static_cast<int>(wanted.groupLine.size()) - 1);
    }
    return true;
}

// A sorted index of IDs: the IDs come from outside, so no hash whose slots they could choose.
using IdIndex = std::vector<std::pair<std::string_view, int>>;

int findId(const IdIndex& index, std::string_view id) {
    const auto found = std::lower_bound(index.begin(), index.end(), std::pair<std::string_view, int>{id, -1});
    return found != index.end() && found->first == id ? found->second : -1;
}

// Indices into items of the longest run whose values rise (values[i] > values[j] for i after j).
std::vector<std::size_t> longestRising(const std::vector<int>& values) {
    std::vector<std::size_t> tails, before(values.size(), None);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const auto at = std::lower_bound(tails.begin(), tails.end(), values[i],
                                         [&](std::size_t t, int value) { return values[t] < value; });
        if (at != tails.begin()) before[i] = *(at - 1);
        if (at == tails.end())
            tails.push_back(i);
        else
            *at = i;
    }
    std::vector<std::size_t> run;
    for (std::size_t i = tails.empty() ? None : tails.back(); i != None; i = before[i]) run.push_back(i);
    std::reverse(run.begin(), run.end());
    return run;
}

// A channel line of the wanted line's source whose ID neither list holds: the plan's stand-in where
// a channel that cannot be deleted and added again (a timer holds it, or it is the recorder's only
// one) must open a group added at the end. Empty when every ID it tries is taken.
std::string_view placeholder(Planner& planner, const IdIndex& current, const Wanted& wanted, std::string_view source,
                             std::string& id) {
    std::vector<std::string_view> taken;
    for (const std::string& wantedId : wanted.ids) {
        if (!wantedId.empty()) taken.push_back(wantedId);
    }
    std::sort(taken.begin(), taken.end());
    for (int rid = 65535; rid > 0; --rid) {
        std::string line = "kvx placeholder:12000:H:" + std::string(source) +
                           ":27500:0:0:0:0:65535:65535:65535:" + std::to_string(rid);
        if (vdrChannelId(line, id) && findId(current, id) < 0 &&
            !std::binary_search(taken.begin(), taken.end(), std::string_view(id)))
            return planner.texts.emplace_back(std::move(line));
    }
    return {};
}

std::string_view fieldOf(std::string_view line, int field) {
    for (int i = 0; i < field; ++i) {
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) return {};
        line.remove_prefix(colon + 1);
    }
    return line.substr(0, line.find(':'));
}

}  // namespace

bool vdrChannelId(std::string_view line, std::string& id) {
    std::array<std::string_view, 13> fields{};
    std::size_t count = 0;
    for (std::string_view rest = line; count < fields.size();) {
        const std::size_t colon = rest.find(':');
        fields[count++] = rest.substr(0, colon);
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    if (count < 10 || fields[3].empty() || isGroupLine(line)) return false;
    std::array<long long, 5> numbers{};  // frequency, SID, NID, TID, RID
    const std::size_t numbered[] = {1, 9, 10, 11, 12};
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const std::string_view text = numbered[i] < count ? fields[numbered[i]] : std::string_view("0");
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), numbers[i]);
        if (error != std::errc() || end != text.data() + text.size() || numbers[i] < 0 || numbers[i] > 0x7FFFFFFF)
            return false;
    }
    long long tid = numbers[3];
    if (numbers[2] == 0 && tid == 0) {
        tid = numbers[0];
        while (tid > 20000) tid /= 1000;
        if (fields[3].front() == 'S') {
            const std::size_t polarization = fields[2].find_first_of("HVLRhvlr");
            if (polarization != std::string_view::npos) {
                static constexpr std::string_view Letters = "HVLR";
                const char letter = static_cast<char>(fields[2][polarization] & ~0x20);
                tid += 100000 * static_cast<long long>(Letters.find(letter) + 1);
            }
        }
    }
    id.assign(fields[3]);
    for (const long long number : {numbers[2], tid, numbers[1]}) (id += '-') += std::to_string(number);
    if (numbers[4] != 0) (id += '-') += std::to_string(numbers[4]);
    return true;
}

bool planSvdrpChanges(std::span<const SvdrpChannelLine> current, std::string_view wantedText,
                      std::span<const std::string> timerChannels, SvdrpPlan& plan, std::string& why) {
    plan = SvdrpPlan{};
    Wanted wanted;
    if (!readWanted(wantedText, wanted, why)) return false;
    Planner planner{plan, {}, {}, {}};
    Model& model = planner.model;

    // The recorder's list, its channels by ID, and its groups by segment as the wanted list's.
    IdIndex currentIds;
    std::vector<int> currentSegment;
    std::vector<int> groupItem{-1};  // by segment of the recorder's list: its group line's item
    std::string derived;
    for (const SvdrpChannelLine& line : current) {
        if (!oneLine(line.line) || !oneLine(line.id)) {
            why = "the recorder's channel " + std::to_string(line.number) + " holds a control character";
            return false;
        }
        const bool group = line.number == 0;
        const int item = append(model, {line.line, line.id, group, group ? groupNumber(line.line) : 0});
        planner.deletedBy.push_back(None);
        if (group) {
            groupItem.push_back(item);
        } else {
            // The IDs kvx works out for the lines it sends must be the recorder's own.
            if (line.id.starts_with('S') && vdrChannelId(line.line, derived) && derived != line.id) {
                why = "the recorder's channel " + std::to_string(line.number) + " has the ID " + std::string(line.id) +
                      ", where kvx reads " + derived + " from its line: kvx cannot match channels by ID with it";
                return false;
            }
            currentIds.emplace_back(line.id, item);
        }
        currentSegment.push_back(static_cast<int>(groupItem.size()) - 1);
    }
    // Commands name channels by number: the recorder's numbers must be the ones the plan works out.
    for (std::size_t i = 0; i < current.size(); ++i) {
        if (current[i].number != 0 && numberAt(model, i) != current[i].number) {
            why = "the recorder numbers its channel " + std::to_string(current[i].number) + " where kvx counts " +
                  std::to_string(numberAt(model, i)) + ": kvx cannot name its channels by number";
            return false;
        }
    }
    std::sort(currentIds.begin(), currentIds.end());
    for (std::size_t i = 1; i < currentIds.size(); ++i) {
        if (currentIds[i].first == currentIds[i - 1].first) {
            why = "the recorder lists the channel ID " + std::string(currentIds[i].first) + " twice";
            return false;
        }
    }
    std::vector<std::string_view> held(timerChannels.begin(), timerChannels.end());
    std::sort(held.begin(), held.end());
    const auto isHeld = [&](int item) {
        return std::binary_search(held.begin(), held.end(), model.items[static_cast<std::size_t>(item)].id);
    };

    // Each wanted channel's match, and each of the recorder's channels' segment in the wanted list.
    wanted.match.assign(wanted.lines.size(), -1);
    std::vector<int> wantedSegmentOf(model.items.size(), -1);  // by item; -1: the wanted list lacks it
    std::vector<std::size_t> wantedLineOf(model.items.size(), None);
    IdIndex wantedIds;
    int wantedChannels = 0;
    for (std::size_t i = 0; i < wanted.lines.size(); ++i) {
        if (wanted.ids[i].empty()) continue;
        ++wantedChannels;
        wantedIds.emplace_back(wanted.ids[i], static_cast<int>(i));
        const int item = findId(currentIds, wanted.ids[i]);
        wanted.match[i] = item;
        if (item >= 0) {
            wantedSegmentOf[static_cast<std::size_t>(item)] = wanted.segment[i];
            wantedLineOf[static_cast<std::size_t>(item)] = i;
        }
    }
    std::sort(wantedIds.begin(), wantedIds.end());
    for (std::size_t i = 1; i < wantedIds.size(); ++i) {
        if (wantedIds[i].first == wantedIds[i - 1].first) {
            why = "lines " + std::to_string(wantedIds[i - 1].second + 1) + " and " +
                  std::to_string(wantedIds[i].second + 1) + " of the list to send have the same channel ID " +
                  std::string(wantedIds[i].first) + ": the recorder holds one channel per ID (kvx dupes finds them)";
            return false;
        }
    }
    if (wantedChannels == 0 && model.channels > 0) {
        why = "the list to send holds no channel, and the recorder keeps at least one";
        return false;
    }

    // The recorder's channels by segment, in order.
    std::vector<std::vector<int>> currentChannels(groupItem.size());
    for (std::size_t item = 0; item < current.size(); ++item) {
        if (!model.items[item].group)
            currentChannels[static_cast<std::size_t>(currentSegment[item])].push_back(static_cast<int>(item));
    }
    // A channel can be moved only next to another: a segment is filled only where one of the
    // recorder's channels stays in it while it is built.
    const auto hasAnchor = [&](std::size_t currentSeg, int wantedSeg) {
        for (const int item : currentChannels[currentSeg]) {
            const int goesTo = wantedSegmentOf[static_cast<std::size_t>(item)];
            if (goesTo < 0 || goesTo >= wantedSeg) return true;
        }
        return false;
    };

    // The wanted groups found in order among the recorder's: segments kept in place. The rest of the
    // wanted list, from its first group the recorder lacks, is added at the end.
    std::vector<std::size_t> keptSegment{0};  // by wanted segment: the recorder's segment it fills
    if (!wanted.channels[0].empty() && !current.empty() && !hasAnchor(0, 0)) {
        why = "the recorder's list starts with the group line " + std::string(current.front().line) +
              ", which SVDRP cannot remove, and no channel can be put before it";
        return false;
    }
    const bool appendAll = current.empty();
    std::size_t nextGroup = 1;
    for (std::size_t s = 1; !appendAll && s < wanted.groupLine.size(); ++s) {
        std::size_t found = nextGroup;
        while (found < groupItem.size() &&
               model.items[static_cast<std::size_t>(groupItem[found])].text != wanted.lines[wanted.groupLine[s]])
            ++found;
        if (found == groupItem.size()) break;
        if (!wanted.channels[s].empty() && !hasAnchor(found, static_cast<int>(s))) break;
        keptSegment.push_back(found);
        nextGroup = found + 1;
    }
    const std::size_t keptSegments = appendAll ? 0 : keptSegment.size();
    const std::size_t tailStart = keptSegments < wanted.groupLine.size()
                                      ? (keptSegments == 0 ? 0 : wanted.groupLine[keptSegments])
                                      : wanted.lines.size();

    // Within each kept segment: the longest run of its channels in order stays, and a channel that
    // goes gives its place to a new one between the same two staying channels (one MODC).
    std::vector<int> itemOfLine(wanted.lines.size(), -1);
    std::vector<char> fixed(wanted.lines.size(), 0);
    std::vector<char> reused(model.items.size(), 0);
    for (std::size_t s = 0; s < keptSegments; ++s) {
        const std::vector<int>& here = currentChannels[keptSegment[s]];
        std::vector<std::size_t> lines;  // wanted lines matched in this segment
        std::vector<int> items;
        for (const std::size_t line : wanted.channels[s]) {
            const int item = wanted.match[line];
            if (item >= 0 &&
                static_cast<std::size_t>(currentSegment[static_cast<std::size_t>(item)]) == keptSegment[s]) {
                lines.push_back(line);
                items.push_back(item);
            }
        }
        std::vector<std::size_t> staying;  // wanted lines, then the next gap's bounds
        for (const std::size_t k : longestRising(items)) {
            fixed[lines[k]] = 1;
            itemOfLine[lines[k]] = items[k];
            staying.push_back(lines[k]);
        }
        // Gap by gap between staying channels: the recorder's free channels and the new ones, paired in order.
        std::size_t inCurrent = 0, inWanted = 0;
        for (std::size_t gap = 0; gap <= staying.size(); ++gap) {
            std::vector<int> free;
            for (; inCurrent < here.size() && (gap == staying.size() || here[inCurrent] != itemOfLine[staying[gap]]);
                 ++inCurrent) {
                const int item = here[inCurrent];
                if (wantedSegmentOf[static_cast<std::size_t>(item)] < 0 && !isHeld(item)) free.push_back(item);
            }
            ++inCurrent;
            std::size_t used = 0;
            for (; inWanted < wanted.channels[s].size() &&
                   (gap == staying.size() || wanted.channels[s][inWanted] != staying[gap]);
                 ++inWanted) {
                const std::size_t line = wanted.channels[s][inWanted];
                if (wanted.match[line] < 0 && used < free.size()) {
                    fixed[line] = 1;
                    itemOfLine[line] = free[used];
                    reused[static_cast<std::size_t>(free[used++])] = 1;
                }
            }
            ++inWanted;
        }
    }

    // The kept segments in the wanted order: staying channels rewritten where they changed, the
    // others put in place after the line before them.
    for (std::size_t s = 0; s < keptSegments; ++s) {
        int prev = s == 0 ? -1 : groupItem[keptSegment[s]];
        for (const std::size_t line : wanted.channels[s]) {
            const std::string_view text = wanted.lines[line];
            const int match = wanted.match[line];
            int item = itemOfLine[line];
            if (fixed[line]) {
                if (match < 0 || model.items[static_cast<std::size_t>(item)].text != text) {
                    modify(planner, item, text, wanted.ids[line]);
                    plan.changed += match >= 0 ? 1 : 0;
                }
            } else {
                item = match >= 0 ? match : add(planner, text, wanted.ids[line]);
                if (!placeAfter(planner, item, prev)) {
                    why = "no channel of the recorder's is left beside the place of line " + std::to_string(line + 1);
                    return false;
                }
                if (match >= 0) {
                    ++plan.moved;
                    if (model.items[static_cast<std::size_t>(item)].text != text) {
                        modify(planner, item, text, wanted.ids[line]);
                        ++plan.changed;
                    }
                }
            }
            plan.added += match < 0 ? 1 : 0;
            prev = item;
        }
    }

    // The rest at the end, in order. A channel the recorder has is moved after the one before it; one
    // that opens a group has no channel before it at the end, so it is deleted and added again, or,
    // where a timer holds it, moved after a placeholder that is then deleted.
    for (std::size_t line = tailStart; line < wanted.lines.size(); ++line) {
        const std::string_view text = wanted.lines[line];
        const int match = wanted.match[line];
        if (wanted.ids[line].empty()) {
            add(planner, text, {});
            ++plan.groupsAdded;
            continue;
        }
        if (match < 0) {
            add(planner, text, wanted.ids[line]);
            ++plan.added;
            continue;
        }
        ++plan.moved;
        const Item& old = model.items[static_cast<std::size_t>(match)];
        const bool differs = old.text != text;
        plan.changed += differs ? 1 : 0;
        const int last = model.order.empty() ? -1 : model.order.back();
        if (isChannel(model, last) && last != match) {
            if (!placeAfter(planner, match, last)) {
                why = "line " + std::to_string(line + 1) + " could not be put after the line before it";
                return false;
            }
        } else if (!isHeld(match) && model.channels > 1) {
            command(planner, "DELC " + std::string(old.id));
            erase(model, match);
            add(planner, text, wanted.ids[line]);
            continue;
        } else {
            std::string id;
            const std::string_view standInLine = placeholder(planner, currentIds, wanted, fieldOf(text, 3), id);
            if (standInLine.empty()) {
                why = "no channel ID is free for the placeholder that line " + std::to_string(line + 1) + " needs";
                return false;
            }
            const std::string_view standInId = planner.texts.emplace_back(std::move(id));
            const int standIn = add(planner, standInLine, standInId);
            if (!placeAfter(planner, match, standIn)) {
                why = "line " + std::to_string(line + 1) + " could not be put after a placeholder";
                return false;
            }
            command(planner, "DELC " + std::string(standInId));
            erase(model, standIn);
        }
        if (differs) modify(planner, match, text, wanted.ids[line]);
    }

    // Last, the channels the wanted list lacks, by ID: numbers no longer matter, and a refusal
    // changes nothing else.
    plan.firstDeletion = plan.commands.size();
    for (std::size_t item = 0; item < current.size(); ++item) {
        if (model.items[item].group || wantedSegmentOf[item] >= 0) continue;
        ++plan.removed;
        if (reused[item]) continue;
        if (isHeld(static_cast<int>(item))) {
            plan.heldChannels.emplace_back(model.items[item].text);
            continue;
        }
        planner.deletedBy[item] = plan.commands.size();
        command(planner, "DELC " + std::string(model.items[item].id));
    }
    plan.removed -= static_cast<int>(plan.heldChannels.size());

    // The listing once every command succeeded; the groups the wanted list lacks stay in it.
    std::vector<char> groupKept(groupItem.size(), 0);
    for (std::size_t s = 1; s < keptSegments; ++s) groupKept[keptSegment[s]] = 1;
    for (std::size_t seg = 1; seg < groupItem.size(); ++seg) {
        if (!groupKept[seg]) plan.strayGroups.emplace_back(model.items[static_cast<std::size_t>(groupItem[seg])].text);
    }
    std::vector<std::string_view> left;  // what the wanted list should be, checked below
    for (const int item : model.order) {
        const Item& line = model.items[static_cast<std::size_t>(item)];
        const std::size_t deletion = planner.deletedBy[static_cast<std::size_t>(item)];
        plan.finalLines.push_back({std::string(line.text), deletion});
        const bool stray = static_cast<std::size_t>(item) < current.size() && line.group &&
                           !groupKept[static_cast<std::size_t>(currentSegment[static_cast<std::size_t>(item)])];
        const bool heldLeft = static_cast<std::size_t>(item) < current.size() && !line.group &&
                              wantedSegmentOf[static_cast<std::size_t>(item)] < 0 &&
                              !reused[static_cast<std::size_t>(item)] && isHeld(item);
        if (deletion == None && !stray && !heldLeft) left.push_back(line.text);
    }
    if (!std::equal(left.begin(), left.end(), wanted.lines.begin(), wanted.lines.end())) {
        why = "kvx made a plan that does not give the list (a fault of kvx)";
        return false;
    }
    return true;
}
