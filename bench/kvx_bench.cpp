// Times the kvx command at the largest list, 16384 channels, each run a whole process started the
// way a shell starts it, beside the floor of copying the same bytes in the same run: cat of the list,
// or a copy of what an export writes and an import reads. Page faults of each (the child's own,
// from wait4) stand beside the times, so that memory touched twice shows even where faults are cheap.
//
//   kvx_bench PATH_TO_KVX
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_list.h"
#include "bench/kvx_bench_receivers.h"
#include "channel/channel_file.h"

extern char** environ;

namespace {

constexpr int Runs = 15;
constexpr int FullList = 16384;

// What a measured command is compared with: the larger side of what it reads and writes, copied by
// cat or cp. A channels.conf or a settings folder is a fifth of the list it stands for, so the list
// is their floor; the CSV is twice the list, so it is the floor of its export and import.
enum class Floor { CatOfList, CopyOfCsv };

// One measured command: kvx's arguments apart by spaces, where these words stand for the benchmark's
// files: FULL (the list), CHANGED (one channel changed), SHUFFLED (the list in another order), CSV, VDR
// and FOLDER (what the exports write and the imports read), OUT (a list written).
struct Row {
    const char* what;
    const char* arguments;
    Floor floor;
    double ratioTarget;  // at most this many times the floor's median; 0: the floor is shown only
    double targetMs;     // and a median under this
    int allowedStatus;   // highest exit status that is not a failure
};

// Exports come before the imports that read what they wrote.
const Row Rows[] = {
    {"check", "check FULL", Floor::CatOfList, 2, 20, 1},
    {"diff (one channel changed)", "diff FULL CHANGED", Floor::CatOfList, 3, 30, 1},
    {"sort by name", "sort FULL --by name -o OUT", Floor::CatOfList, 3, 30, 0},
    {"export csv", "export FULL -o CSV", Floor::CopyOfCsv, 3, 60, 0},
    {"import csv", "import CSV -o OUT", Floor::CopyOfCsv, 3, 100, 0},
    {"export vdr", "export FULL --format vdr --source S19.2E -o VDR", Floor::CatOfList, 3, 60, 0},
    {"import vdr", "import VDR -o OUT", Floor::CatOfList, 3, 100, 0},
    {"export enigma2", "export FULL --format enigma2 --source S19.2E -o FOLDER", Floor::CatOfList, 3, 60, 0},
    {"import enigma2", "import FOLDER -o OUT", Floor::CatOfList, 3, 100, 0},
    {"order --like (a shuffled copy)", "order FULL --like SHUFFLED -o OUT", Floor::CatOfList, 0, 40, 0},
    {"dupes", "dupes FULL", Floor::CatOfList, 0, 20, 1},
};

struct Figure {
    bool ok = false;
    double medianMs = 0;
    long faults = 0;  // median of the runs' minor page faults
};

std::map<std::string, std::string> Paths;

// Runs words with standard output going to outputPath; false when the program could not start or
// failed (exit status above allowedStatus).
bool runOnce(const std::vector<std::string>& words, const std::string& outputPath, int allowedStatus, double& ms,
             long& faults) {
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return false;
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) > allowedStatus) return false;
    ms = std::chrono::duration<double, std::milli>(end - start).count();
    faults = usage.ru_minflt;
    return true;
}

Figure measure(const std::vector<std::string>& words, const std::string& outputPath, int allowedStatus) {
    std::vector<double> times;
    std::vector<long> faults;
    for (int run = 0; run < Runs; ++run) {
        double ms = 0;
        long runFaults = 0;
        if (!runOnce(words, outputPath, allowedStatus, ms, runFaults)) return {};
        times.push_back(ms);
        faults.push_back(runFaults);
    }
    std::sort(times.begin(), times.end());
    std::sort(faults.begin(), faults.end());
    return {true, times[times.size() / 2], faults[faults.size() / 2]};
}

std::vector<std::string> floorCommand(Floor floor) {
    const std::string& work = Paths["WORK"];
    switch (floor) {
        case Floor::CatOfList: return {"/bin/cat", Paths["FULL"]};
        case Floor::CopyOfCsv: return {"/bin/cp", Paths["CSV"], work + "/copy.csv"};
    }
    return {};
}

const char* floorName(Floor floor) {
    switch (floor) {
        case Floor::CatOfList: return "cat of the list";
        case Floor::CopyOfCsv: return "cp of the CSV";
    }
    return "";
}

// Each floor once a run, measured when a row first needs it (after the export that writes its file).
Figure floorFigure(Floor floor) {
    static std::map<Floor, Figure> measured;
    const auto found = measured.find(floor);
    if (found != measured.end()) return found->second;
    const Figure figure = measure(floorCommand(floor), Paths["WORK"] + "/floor.out", 0);
    measured[floor] = figure;
    return figure;
}

// Rows fail (until their subcommand exists, for example) without stopping the others.
bool runRow(const std::string& kvx, const Row& row) {
    std::vector<std::string> words{kvx};
    for (const char* at = row.arguments; *at != '\0';) {
        const char* end = std::strchr(at, ' ');
        const std::string word(at, end == nullptr ? std::strlen(at) : static_cast<std::size_t>(end - at));
        words.push_back(Paths.count(word) != 0 ? Paths[word] : word);
        at = end == nullptr ? at + word.size() : end + 1;
    }
    const Figure figure = measure(words, Paths["WORK"] + "/stdout.out", row.allowedStatus);
    if (!figure.ok) {
        std::printf("%-32s FAILED\n", row.what);
        return false;
    }
    const Figure floor = floorFigure(row.floor);
    if (!floor.ok) {
        std::printf("%-32s %8.2f ms  floor (%s) FAILED\n", row.what, figure.medianMs, floorName(row.floor));
        return false;
    }
    const double ratio = figure.medianMs / floor.medianMs;
    const bool met = (row.ratioTarget == 0 || ratio <= row.ratioTarget) && figure.medianMs < row.targetMs;
    char ratioTarget[16] = "        ";
    if (row.ratioTarget != 0) std::snprintf(ratioTarget, sizeof ratioTarget, "<= %.0f x,", row.ratioTarget);
    std::printf("%-32s %8.2f %8.2f %6.2f   %s < %3.0f ms  %-6s  %7ld %7ld   %s\n", row.what, figure.medianMs,
                floor.medianMs, ratio, ratioTarget, row.targetMs, met ? "met" : "MISSED", figure.faults, floor.faults,
                floorName(row.floor));
    return met;
}

bool writeList(const std::string& path, std::vector<ChannelRecord>& records) {
    const ChannelFile::FileResult result =
        ChannelFile::saveBytes(path.c_str(), records.data(), records.size() * sizeof(ChannelRecord));
    if (!result.ok) std::fprintf(stderr, "kvx_bench: %s: %s\n", path.c_str(), result.reason);
    return result.ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kvx_bench PATH_TO_KVX\n");
        return 2;
    }
    const std::string kvx = argv[1];
    char folder[] = "/tmp/kvx-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 2;
    const std::string work = folder;
    Paths = {{"WORK", work},
             {"FULL", work + "/full.kvx"},
             {"CHANGED", work + "/changed.kvx"},
             {"SHUFFLED", work + "/shuffled.kvx"},
             {"CSV", work + "/full.csv"},
             {"VDR", work + "/channels.conf"},
             {"FOLDER", work + "/settings"},
             {"OUT", work + "/out.kvx"}};

    std::vector<ChannelRecord> records(FullList);
    makeBenchList(records.data(), FullList);
    if (!writeList(Paths["FULL"], records)) return 2;
    // The same channels in another order, shuffled the same way every run.
    std::vector<ChannelRecord> shuffled = records;
    std::uint32_t random = 2463534242u;
    for (std::size_t i = shuffled.size() - 1; i > 0; --i) {
        random ^= random << 13;
        random ^= random >> 17;
        random ^= random << 5;
        std::swap(shuffled[i], shuffled[random % (i + 1)]);
    }
    if (!writeList(Paths["SHUFFLED"], shuffled)) return 2;
    records[FullList / 2].sid.set(65000);  // one channel changed
    if (!writeList(Paths["CHANGED"], records)) return 2;

    std::printf("kvx at %d channels, %d runs each (whole processes); medians; faults: minor page faults\n", FullList,
                Runs);
    std::printf("%-32s %8s %8s %6s   %-20s %-6s  %7s %7s   %s\n", "command", "ms", "floor", "ratio", "targets", "",
                "faults", "floor", "floor is");
    int missed = 0;
    for (const Row& row : Rows) missed += runRow(kvx, row) ? 0 : 1;
    std::printf("%d of %zu commands met both targets\n", static_cast<int>(std::size(Rows)) - missed, std::size(Rows));
    // kvx flushes every file it writes to the disk before it puts it in place; cat and cp do not. For
    // scale, the same copies flushed (not a target).
    for (const auto& [what, from] : {std::pair{"the list", "FULL"}, std::pair{"the CSV", "CSV"}}) {
        const Figure flushed = measure(
            {"/bin/dd", "if=" + Paths[from], "of=" + work + "/flushed.out", "bs=1M", "conv=fsync", "status=none"},
            work + "/floor.out", 0);
        if (flushed.ok)
            std::printf("for scale: a copy of %s flushed to the disk (dd conv=fsync) %.2f ms\n", what,
                        flushed.medianMs);
    }

    // Receivers: FTP and SVDRP, with the servers the benchmark starts itself.
    benchReceivers(kvx, work, Paths["FULL"], Paths["CHANGED"]);

    const std::string cleanup = "rm -rf '" + work + "'";
    return std::system(cleanup.c_str()) == 0 ? 0 : 2;
}
