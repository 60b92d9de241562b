// The SVDRP plan run against a recorder of the test's own, which follows the rules measured on VDR
// 2.6: every command of a plan must be accepted, and the listing after it must be the wanted
// channels.conf apart from old group lines left empty and channels a timer keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "formats/vdr_svdrp_plan.h"

namespace {

struct Line {
    std::string text;
    std::string id;  // channels
    bool group = false;
    int at = 0;
};

// The recorder: its list and the channel IDs its timers use.
struct Recorder {
    std::vector<Line> lines;
    std::set<std::string> timers;
};

// The test lines always carry a NID, so an ID is SOURCE-NID-TID-SID[-RID] straight from the fields.
Line lineOf(const std::string& text) {
    Line line{text, "", !text.empty() && text[0] == ':', 0};
    if (line.group) {
        if (text.size() > 2 && text[1] == '@') line.at = std::stoi(text.substr(2));
        return line;
    }
    std::vector<std::string> fields;
    std::string::size_type at = 0;
    for (;;) {
        const auto colon = text.find(':', at);
        fields.push_back(text.substr(at, colon - at));
        if (colon == std::string::npos) break;
        at = colon + 1;
    }
    line.id = fields[3] + "-" + fields[10] + "-" + fields[11] + "-" + fields[9];
    if (fields[12] != "0") line.id += "-" + fields[12];
    return line;
}

std::vector<int> numbers(const Recorder& recorder) {
    std::vector<int> result;
    int next = 1;
    for (const Line& line : recorder.lines) {
        if (line.group) {
            next = std::max(next, line.at);
            result.push_back(0);
        } else {
            result.push_back(next++);
        }
    }
    return result;
}

int indexOfNumber(const Recorder& recorder, int number) {
    const std::vector<int> all = numbers(recorder);
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (!recorder.lines[i].group && all[i] == number) return static_cast<int>(i);
    }
    return -1;
}

int channelCount(const Recorder& recorder) {
    return static_cast<int>(
        std::count_if(recorder.lines.begin(), recorder.lines.end(), [](const Line& l) { return !l.group; }));
}

bool idTaken(const Recorder& recorder, const std::string& id, int except) {
    for (std::size_t i = 0; i < recorder.lines.size(); ++i) {
        if (static_cast<int>(i) != except && !recorder.lines[i].group && recorder.lines[i].id == id) return true;
    }
    return false;
}

// The recorder's answer code to one command, its list changed as the recorder changes it.
int run(Recorder& recorder, const std::string& command) {
    const std::string verb = command.substr(0, 4);
    const std::string rest = command.substr(5);
    if (verb == "NEWC") {
        const Line line = lineOf(rest);
        if (!line.group && idTaken(recorder, line.id, -1)) return 501;
        recorder.lines.push_back(line);
        return 250;
    }
    if (verb == "DELC") {
        int index = -1;
        for (std::size_t i = 0; i < recorder.lines.size(); ++i) {
            if (!recorder.lines[i].group && recorder.lines[i].id == rest) index = static_cast<int>(i);
        }
        if (index < 0) return 501;
        if (channelCount(recorder) == 1) return 501;
        if (recorder.timers.count(rest) != 0) return 550;
        recorder.lines.erase(recorder.lines.begin() + index);
        return 250;
    }
    const auto blank = rest.find(' ');
    const int first = std::stoi(rest.substr(0, blank));
    if (verb == "MODC") {
        const int index = indexOfNumber(recorder, first);
        const Line line = lineOf(rest.substr(blank + 1));
        if (index < 0 || line.group || idTaken(recorder, line.id, index)) return 501;
        recorder.lines[static_cast<std::size_t>(index)] = line;
        return 250;
    }
    if (verb == "MOVC") {
        const int from = indexOfNumber(recorder, first);
        int to = indexOfNumber(recorder, std::stoi(rest.substr(blank + 1)));
        if (from < 0 || to < 0 || from == to) return 501;
        if (from < to) {
            // Moved down past a group ":@N" above the numbers it passes, the target steps back a line.
            const std::vector<int> all = numbers(recorder);
            int number = all[static_cast<std::size_t>(from)];
            for (int i = from + 1; i < to; ++i) {
                const Line& line = recorder.lines[static_cast<std::size_t>(i)];
                if (line.group && line.at > number) {
                    --to;
                    break;
                }
                if (!line.group) number = all[static_cast<std::size_t>(i)];
            }
        }
        const Line moved = recorder.lines[static_cast<std::size_t>(from)];
        recorder.lines.erase(recorder.lines.begin() + from);
        // Down: after the target (which moved up by one); up: before it.
        recorder.lines.insert(recorder.lines.begin() + to, moved);
        return 250;
    }
    return 500;
}

std::vector<SvdrpChannelLine> listing(const Recorder& recorder) {
    std::vector<SvdrpChannelLine> result;
    const std::vector<int> all = numbers(recorder);
    for (std::size_t i = 0; i < recorder.lines.size(); ++i)
        result.push_back({all[i], recorder.lines[i].id, recorder.lines[i].text});
    return result;
}

std::string channel(int sid, const std::string& name = "", int tid = 1) {
    return (name.empty() ? "Channel " + std::to_string(sid) : name) +
           ";P:11000:H:S19.2E:27500:101=2:102=@4:0:0:" + std::to_string(sid) + ":1:" + std::to_string(tid) + ":0";
}

Recorder recorderOf(const std::vector<std::string>& texts, std::set<std::string> timers = {}) {
    Recorder recorder{{}, std::move(timers)};
    for (const std::string& text : texts) recorder.lines.push_back(lineOf(text));
    return recorder;
}

std::string textOf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

struct Outcome {
    bool planned = false;
    std::string why;
    SvdrpPlan plan;
    std::vector<std::string> after;  // the listing's lines once the plan ran
    std::vector<int> codes;
};

Outcome send(Recorder recorder, const std::vector<std::string>& wanted) {
    Outcome outcome;
    const std::vector<std::string> timers(recorder.timers.begin(), recorder.timers.end());
    const std::vector<SvdrpChannelLine> current = listing(recorder);
    const std::string text = textOf(wanted);
    outcome.planned = planSvdrpChanges(current, text, timers, outcome.plan, outcome.why);
    if (!outcome.planned) return outcome;
    for (const std::string& command : outcome.plan.commands) outcome.codes.push_back(run(recorder, command));
    for (const Line& line : recorder.lines) outcome.after.push_back(line.text);
    return outcome;
}

// What the listing must be: the wanted lines, with old group lines left empty and the channels
// timers keep wherever they stand.
void expectWanted(const Recorder& before, const std::vector<std::string>& wanted, const Outcome& outcome,
                  const std::string& label) {
    ASSERT_TRUE(outcome.planned) << label << ": " << outcome.why;
    for (std::size_t i = 0; i < outcome.codes.size(); ++i)
        ASSERT_EQ(outcome.codes[i], 250) << label << ": " << outcome.plan.commands[i];
    std::set<std::string> oldGroups, wantedIds;
    for (const Line& line : before.lines) {
        if (line.group) oldGroups.insert(line.text);
    }
    for (const std::string& line : wanted) wantedIds.insert(lineOf(line).id);
    std::vector<std::string> unheld, left;
    for (const std::string& text : outcome.after) {
        const Line line = lineOf(text);
        if (line.group || before.timers.count(line.id) == 0 || wantedIds.count(line.id) != 0) unheld.push_back(text);
    }
    for (std::size_t i = 0; i < unheld.size(); ++i) {
        const bool empty = i + 1 == unheld.size() || lineOf(unheld[i + 1]).group;
        if (lineOf(unheld[i]).group && empty && oldGroups.count(unheld[i]) != 0) continue;
        left.push_back(unheld[i]);
    }
    EXPECT_EQ(left, wanted) << label;
    // The plan's own account of the listing agrees with the recorder's.
    std::vector<std::string> told;
    for (const SvdrpFinalLine& line : outcome.plan.finalLines) {
        if (line.deletedBy == static_cast<std::size_t>(-1)) told.push_back(line.text);
    }
    EXPECT_EQ(told, outcome.after) << label;
}

// Lists that share most channels are changed with about one command per difference.
TEST(SvdrpPlan, FewCommandsForFewChanges) {
    const std::vector<std::string> base = {":News",  channel(1), channel(2), channel(3),
                                           ":Sport", channel(4), channel(5), channel(6)};
    struct Case {
        const char* what;
        std::vector<std::string> wanted;
        std::size_t commands;
        int added, changed, moved, removed;
    };
    const Case cases[] = {
        {"the same list", base, 0, 0, 0, 0, 0},
        {"one name changed",
         {":News", channel(1), channel(2, "Renamed"), channel(3), ":Sport", channel(4), channel(5), channel(6)},
         1,
         0,
         1,
         0,
         0},
        {"one channel gone",
         {":News", channel(1), channel(3), ":Sport", channel(4), channel(5), channel(6)},
         1,
         0,
         0,
         0,
         1},
        {"one new in the middle",
         {":News", channel(1), channel(9), channel(2), channel(3), ":Sport", channel(4), channel(5), channel(6)},
         2,
         1,
         0,
         0,
         0},
        {"one new at a group's end",
         {":News", channel(1), channel(2), channel(3), channel(9), ":Sport", channel(4), channel(5), channel(6)},
         3,
         1,
         0,
         0,
         0},
        {"one new, one gone, same place",
         {":News", channel(1), channel(9), channel(3), ":Sport", channel(4), channel(5), channel(6)},
         1,
         1,
         0,
         0,
         1},
        {"two swapped",
         {":News", channel(2), channel(1), channel(3), ":Sport", channel(4), channel(5), channel(6)},
         1,
         0,
         0,
         1,
         0},
        {"one moved to another group",
         {":News", channel(1), channel(3), ":Sport", channel(4), channel(2), channel(5), channel(6)},
         1,
         0,
         0,
         1,
         0},
        {"a group added at the end",
         {":News", channel(1), channel(2), channel(3), ":Sport", channel(4), channel(5), channel(6), ":Films",
          channel(7)},
         2,
         1,
         0,
         0,
         0},
        {"a group dropped", {":News", channel(1), channel(2), channel(3)}, 3, 0, 0, 0, 3},
    };
    for (const Case& c : cases) {
        const Recorder recorder = recorderOf(base);
        const Outcome outcome = send(recorder, c.wanted);
        expectWanted(recorder, c.wanted, outcome, c.what);
        EXPECT_EQ(outcome.plan.commands.size(), c.commands) << c.what;
        EXPECT_EQ(outcome.plan.added, c.added) << c.what;
        EXPECT_EQ(outcome.plan.changed, c.changed) << c.what;
        EXPECT_EQ(outcome.plan.moved, c.moved) << c.what;
        EXPECT_EQ(outcome.plan.removed, c.removed) << c.what;
    }
}

// What SVDRP cannot do is said, and what it can is done around it.
TEST(SvdrpPlan, GroupsTimersAndRefusals) {
    // A group dropped stays, empty; a channel a timer uses stays where it is, named.
    {
        const Recorder recorder = recorderOf({":Old", channel(1), ":Keep", channel(2), channel(3)}, {"S19.2E-1-1-3"});
        const std::vector<std::string> wanted = {":Keep", channel(2)};
        const Outcome outcome = send(recorder, wanted);
        expectWanted(recorder, wanted, outcome, "old group, held channel");
        EXPECT_EQ(outcome.plan.strayGroups, std::vector<std::string>{":Old"});
        EXPECT_EQ(outcome.plan.heldChannels, std::vector<std::string>{channel(3)});
        EXPECT_EQ(outcome.plan.removed, 1);
    }
    // A held channel that opens a group added at the end is moved after a placeholder, not deleted.
    {
        const Recorder recorder = recorderOf({":A", channel(1), channel(2)}, {"S19.2E-1-1-2"});
        const std::vector<std::string> wanted = {":A", channel(1), ":B", channel(2, "Held, renamed")};
        const Outcome outcome = send(recorder, wanted);
        expectWanted(recorder, wanted, outcome, "held channel opens a new group");
    }
    // The recorder's only channel can still open a group added at the end.
    {
        const Recorder recorder = recorderOf({":A", channel(1)});
        const std::vector<std::string> wanted = {":B", channel(1)};
        expectWanted(recorder, wanted, send(recorder, wanted), "only channel");
    }
    // An empty recorder takes the whole list; a list of no channels is refused where the recorder has one.
    expectWanted(recorderOf({}), {":A", channel(1)}, send(recorderOf({}), {":A", channel(1)}), "empty recorder");
    struct Refusal {
        const char* what;
        std::vector<std::string> current;
        std::vector<std::string> wanted;
        const char* why;
    };
    const Refusal refusals[] = {
        {"no channel to send", {":A", channel(1)}, {":A"}, "holds no channel"},
        {"channels before any group", {":A", channel(1)}, {channel(1), ":A"}, "starts with the group line :A"},
        {"one ID twice", {channel(1)}, {channel(2), channel(2, "Again")}, "same channel ID S19.2E-1-1-2"},
        {"not a channel line", {channel(1)}, {"Name:11000"}, "line 1 of the list to send"},
    };
    // Nothing the recorder lists can end a command early and start one of its own.
    {
        const std::string line = channel(1);
        const std::vector<SvdrpChannelLine> listed = {{1, "S19.2E-1-1-1\rDELC 2", line}};
        SvdrpPlan plan;
        std::string why;
        EXPECT_FALSE(planSvdrpChanges(listed, textOf({":A", channel(2)}), {}, plan, why));
        EXPECT_NE(why.find("control character"), std::string::npos) << why;
        EXPECT_FALSE(planSvdrpChanges({}, ":A\n" + channel(2) + "\rDELC 1\n", {}, plan, why));
        // Nor can a recorder that numbers its channels otherwise make a command name the wrong one.
        const std::vector<SvdrpChannelLine> renumbered = {{0, "", ":A"}, {2, "S19.2E-1-1-1", line}};
        EXPECT_FALSE(planSvdrpChanges(renumbered, textOf({":A", channel(2)}), {}, plan, why));
        EXPECT_NE(why.find("numbers its channel 2 where kvx counts 1"), std::string::npos) << why;
    }
    for (const Refusal& r : refusals) {
        const Outcome outcome = send(recorderOf(r.current), r.wanted);
        EXPECT_FALSE(outcome.planned) << r.what;
        EXPECT_NE(outcome.why.find(r.why), std::string::npos) << r.what << ": " << outcome.why;
    }
}

// Any list over any other: random lists of a few groups (some numbering their channels from ":@N"),
// channels drawn from a small pool so that they share many, timers on some.
TEST(SvdrpPlan, AnyListOverAnyOther) {
    std::uint32_t random = 88172645u;
    const auto next = [&](std::uint32_t below) {
        random ^= random << 13;
        random ^= random >> 17;
        random ^= random << 5;
        return random % below;
    };
    const char* const groups[] = {":News", ":Sport", ":Films", ":Music", ":@20 Twenty", ":@5 Five", ":"};
    const auto makeList = [&](bool startWithGroup, std::set<int>& used) {
        std::vector<std::string> lines;
        const std::uint32_t count = next(5);
        for (std::uint32_t g = 0; g < count; ++g) {
            if (g > 0 || startWithGroup) lines.push_back(groups[next(std::size(groups))]);
            const std::uint32_t channels = 1 + next(5);
            for (std::uint32_t c = 0; c < channels; ++c) {
                const int sid = 1 + static_cast<int>(next(24));
                if (!used.insert(sid).second) continue;
                lines.push_back(channel(sid, next(4) == 0 ? "Other name" : ""));
            }
            if (lines.empty() || lines.back()[0] == ':') lines.pop_back();  // no group without channels
        }
        return lines;
    };
    int planned = 0;
    for (int round = 0; round < 2000; ++round) {
        std::set<int> usedBefore, usedWanted;
        const std::vector<std::string> before = makeList(next(4) != 0, usedBefore);
        std::vector<std::string> wanted = makeList(true, usedWanted);
        if (std::none_of(wanted.begin(), wanted.end(), [](const std::string& l) { return l[0] != ':'; }))
            wanted = {":News", channel(30)};
        std::set<std::string> timers;
        for (const int sid : usedBefore) {
            if (next(6) == 0) timers.insert("S19.2E-1-1-" + std::to_string(sid));
        }
        const Recorder recorder = recorderOf(before, timers);
        const Outcome outcome = send(recorder, wanted);
        const std::string label = "round " + std::to_string(round) + "\nbefore:\n" + textOf(before) + "wanted:\n" +
                                  textOf(wanted) + "commands:\n" + textOf(outcome.plan.commands);
        if (!outcome.planned && outcome.why.find("starts with the group line") != std::string::npos) {
            // Only a recorder list without channels before its first group, under one that needs some.
            EXPECT_EQ(before[0][0], ':') << label;
            continue;
        }
        expectWanted(recorder, wanted, outcome, label);
        ++planned;
        if (HasFatalFailure() || HasNonfatalFailure()) return;
    }
    EXPECT_GT(planned, 1600);
}

// The recorder's IDs, as VDR 2.6 listed them with LSTC :ids for these lines.
TEST(SvdrpPlan, ChannelIdsAsTheRecorderGivesThem) {
    const std::pair<const char*, const char*> cases[] = {
        {"A;P:11000:H:S19.2E:27500:101=2:102=@4:103:0:1:1:1:0", "S19.2E-1-1-1"},
        {"A;P:11000:H:S19.2E:27500:101=2:102=@4:103:0:1:0:0:7", "S19.2E-0-111000-1-7"},
        {"B;P:11494000:v:S19.2E:27500:101=2:102=@4:103:0:2:0:0:0", "S19.2E-0-211494-2"},
        {"C;P:12000:R:S19.2E:27500:101=2:102=@4:103:0:3:0:0:0", "S19.2E-0-412000-3"},
        {"E;P:11000:H:S19.2E:27500:101=2:102=@4:103:0:5:0:0:0", "S19.2E-0-111000-5"},
        {"F;P:11000:V:S19.2E:27500:101=2:102=@4:103:0:6:0:0:0", "S19.2E-0-211000-6"},
        {"Short:11000:H:S0.8W:27500:0:0:0:0:9", "S0.8W-0-111000-9"},
        {":Group", nullptr},
        {"A:11000:H:S19.2E:27500:0:0:0", nullptr},
        {"A:11000:H:S19.2E:27500:0:0:0:0:x:1:1:0", nullptr},
        {"A:11000:H::27500:0:0:0:0:1:1:1:0", nullptr},
    };
    for (const auto& [line, expected] : cases) {
        std::string id;
        const bool read = vdrChannelId(line, id);
        EXPECT_EQ(read, expected != nullptr) << line;
        if (expected != nullptr) EXPECT_EQ(id, expected) << line;
    }
}

}  // namespace
