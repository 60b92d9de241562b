// Times the kvx command at the largest list, 16384 channels, each run a whole process started the
// way a shell starts it, beside its floor: what the machine needs at least to read what the command
// reads and to put what it writes safely on the disk. kvx flushes every file it writes before it
// replaces the old one, so the floor of a command that writes is cat of its inputs to /dev/null plus
// dd conv=fsync of as many bytes as the command wrote (for a settings folder, the sum of its files in
// one dd); the floor of a command that only reads is the cat alone. Each of a command's runs is
// followed by one of its floor's, so that a load that comes and goes weighs on both alike. Page faults
// of each (the child's own, from wait4) stand beside the times, so that memory touched twice shows
// even where faults are cheap.
//
//   kvx_bench PATH_TO_KVX
#include <dirent.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_list.h"
#include "bench/bench_process.h"
#include "bench/kvx_bench_receivers.h"
#include "channel/channel_file.h"

namespace {

constexpr int Runs = 15;
constexpr int FullList = 16384;

// One measured command: kvx's arguments apart by spaces, where these words stand for the benchmark's
// files: FULL (the list), CHANGED (one channel changed), SHUFFLED (the list in another order), CSV, VDR
// and FOLDER (what the exports write and the imports read), OUT (a list written). reads and writes
// name the files of its floor the same way; a folder stands for all its files.
struct Row {
    const char* what;
    const char* arguments;
    const char* reads;
    const char* writes;  // nullptr for a command that only reads
    double ratioTarget;  // at most this many times the floor's median
    double targetMs;     // and a median under this
    int allowedStatus;   // highest exit status that is not a failure
};

// Exports come before the imports that read what they wrote.
const Row Rows[] = {
    {"check", "check FULL", "FULL", nullptr, 1.5, 20, 1},
    {"diff (one channel changed)", "diff FULL CHANGED", "FULL CHANGED", nullptr, 2, 30, 1},
    {"sort by name", "sort FULL --by name -o OUT", "FULL", "OUT", 2, 30, 0},
    {"export csv", "export FULL -o CSV", "FULL", "CSV", 2, 60, 0},
    {"import csv", "import CSV -o OUT", "CSV", "OUT", 2, 100, 0},
    {"export vdr", "export FULL --format vdr --source S19.2E -o VDR", "FULL", "VDR", 2, 60, 0},
    {"import vdr", "import VDR -o OUT", "VDR", "OUT", 2, 100, 0},
    {"export enigma2", "export FULL --format enigma2 --source S19.2E -o FOLDER", "FULL", "FOLDER", 2, 60, 0},
    {"import enigma2", "import FOLDER -o OUT", "FOLDER", "OUT", 2, 100, 0},
    {"order --like (a shuffled copy)", "order FULL --like SHUFFLED -o OUT", "FULL SHUFFLED", "OUT", 2, 40, 0},
    {"dupes", "dupes FULL", "FULL", nullptr, 2, 20, 1},
};

std::map<std::string, std::string> Paths;

struct Run {
    double ms = 0;
    long faults = 0;  // minor page faults
};

// Runs words with standard output going to outputPath; false when the program could not start or
// failed (exit status above allowedStatus).
bool runOnce(const std::vector<std::string>& words, const std::string& outputPath, int allowedStatus, Run& run) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = spawnProgram(words, outputPath, "/dev/null");
    if (child == -1) return false;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return false;
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) > allowedStatus) return false;
    run.ms = std::chrono::duration<double, std::milli>(end - start).count();
    run.faults = usage.ru_minflt;
    return true;
}

template <typename T>
T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Words apart by single spaces.
std::vector<std::string> wordsOf(const char* text) {
    std::vector<std::string> words;
    for (const char* at = text; *at != '\0';) {
        const char* end = std::strchr(at, ' ');
        words.emplace_back(at, end == nullptr ? std::strlen(at) : static_cast<std::size_t>(end - at));
        at = end == nullptr ? at + words.back().size() : end + 1;
    }
    return words;
}

// The files a word of reads or writes stands for: the file, or every file of the folder.
std::vector<std::string> filesOf(const std::string& word) {
    const std::string& path = Paths[word];
    std::vector<std::string> files;
    DIR* folder = opendir(path.c_str());
    if (folder == nullptr) return {path};
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] != '.') files.push_back(path + "/" + entry->d_name);
    }
    closedir(folder);
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> filesOfWords(const char* words) {
    std::vector<std::string> files;
    for (const std::string& word : wordsOf(words)) {
        for (std::string& file : filesOf(word)) files.push_back(std::move(file));
    }
    return files;
}

// Copies the files, one after another, into path: dd's source of as many bytes as they hold.
bool concatenate(const std::vector<std::string>& files, const std::string& path, long long& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    bytes = 0;
    std::vector<char> buffer(1 << 20);
    bool ok = true;
    for (const std::string& file : files) {
        std::FILE* in = std::fopen(file.c_str(), "rb");
        if (in == nullptr) {
            ok = false;
            break;
        }
        for (std::size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;) {
            ok = ok && std::fwrite(buffer.data(), 1, got, out) == got;
            bytes += static_cast<long long>(got);
        }
        std::fclose(in);
    }
    return std::fclose(out) == 0 && ok;
}

struct Floor {
    std::vector<std::string> read;   // cat of the inputs to /dev/null
    std::vector<std::string> write;  // dd conv=fsync of the output's bytes; empty for a command that only reads
    std::string what;                // as printed
};

// As the bench's files are named: "cat full.kvx + dd 7.2 MB", a folder with its count of files.
std::string describeFloor(const Row& row, long long bytes) {
    std::string what = "cat";
    for (const std::string& word : wordsOf(row.reads)) {
        const std::string& path = Paths[word];
        const std::vector<std::string> files = filesOf(word);
        what += ' ';
        what.append(path, path.rfind('/') + 1);
        if (files.size() != 1 || files[0] != path) {
            char count[32];
            std::snprintf(count, sizeof count, "/ (%zu files)", files.size());
            what += count;
        }
    }
    if (row.writes != nullptr) {
        char flushed[32];
        std::snprintf(flushed, sizeof flushed, " + dd %.1f MB", static_cast<double>(bytes) / 1e6);
        what += flushed;
    }
    return what;
}

// Rows fail (until their subcommand exists, for example) without stopping the others. ratios gets the
// row's ratio.
bool runRow(const std::string& kvx, const Row& row, std::vector<double>& ratios) {
    std::vector<std::string> words{kvx};
    for (const std::string& word : wordsOf(row.arguments)) words.push_back(Paths.count(word) != 0 ? Paths[word] : word);
    const std::string& work = Paths["WORK"];
    const std::string reportPath = work + "/stdout.out";
    // The first run makes what the floor writes as many bytes of; it is not counted.
    Run run;
    if (!runOnce(words, reportPath, row.allowedStatus, run)) {
        std::printf("%-32s FAILED\n", row.what);
        return false;
    }
    Floor floor;
    const std::vector<std::string> inputs = filesOfWords(row.reads);
    floor.read = {"/bin/cat"};
    floor.read.insert(floor.read.end(), inputs.begin(), inputs.end());
    long long bytes = 0;
    if (row.writes != nullptr) {
        const std::string source = work + "/floor.source";
        if (!concatenate(filesOfWords(row.writes), source, bytes)) {
            std::printf("%-32s floor FAILED\n", row.what);
            return false;
        }
        floor.write = {"/bin/dd", "if=" + source, "of=" + work + "/floor.written",
                       "bs=1M",   "conv=fsync",   "status=none"};
    }
    floor.what = describeFloor(row, bytes);
    const auto runFloor = [&](Run& read, Run& written) {
        if (!runOnce(floor.read, "/dev/null", 0, read)) return false;
        return floor.write.empty() || runOnce(floor.write, "/dev/null", 0, written);
    };
    // The floor's first run warms what it reads, as the command's first run did; neither is counted.
    Run read;
    Run written;
    if (!runFloor(read, written)) {
        std::printf("%-32s floor (%s) FAILED\n", row.what, floor.what.c_str());
        return false;
    }
    std::vector<double> times;
    std::vector<long> faults;
    std::vector<double> floorTimes;
    std::vector<long> floorFaults;
    for (int i = 0; i < Runs; ++i) {
        if (!runOnce(words, reportPath, row.allowedStatus, run)) {
            std::printf("%-32s FAILED\n", row.what);
            return false;
        }
        if (!runFloor(read, written)) {
            std::printf("%-32s floor (%s) FAILED\n", row.what, floor.what.c_str());
            return false;
        }
        times.push_back(run.ms);
        faults.push_back(run.faults);
        floorTimes.push_back(read.ms + written.ms);
        floorFaults.push_back(read.faults + written.faults);
    }
    const double ms = median(times);
    const double floorMs = median(floorTimes);
    const double ratio = ms / floorMs;
    ratios.push_back(ratio);
    const bool met = ratio <= row.ratioTarget && ms < row.targetMs;
    char targets[32];
    std::snprintf(targets, sizeof targets, "<= %.1f x, < %.0f ms", row.ratioTarget, row.targetMs);
    std::printf("%-32s %8.2f %8.2f %6.2f   %-20s %-6s  %7ld %7ld   %s\n", row.what, ms, floorMs, ratio, targets,
                met ? "met" : "MISSED", median(faults), median(floorFaults), floor.what.c_str());
    return met;
}

double loadAverage() {
    double load[1] = {-1};
    return getloadavg(load, 1) == 1 ? load[0] : -1;
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

    const double loadBefore = loadAverage();
    std::printf(
        "kvx at %d channels, %d runs each (whole processes), each followed by a run of its floor; medians;\n"
        "floor: cat of what the command reads to /dev/null, plus dd conv=fsync of as many bytes as it writes;\n"
        "faults: minor page faults (the floor's: cat's and dd's)\n",
        FullList, Runs);
    std::printf("%-32s %8s %8s %6s   %-20s %-6s  %7s %7s   %s\n", "command", "ms", "floor", "ratio", "targets", "",
                "faults", "floor", "floor is");
    int missed = 0;
    std::vector<double> ratios;
    for (const Row& row : Rows) missed += runRow(kvx, row, ratios) ? 0 : 1;
    const double largest = ratios.empty() ? 0 : *std::max_element(ratios.begin(), ratios.end());
    std::printf(
        "%d of %zu commands met both targets; largest ratio %.2f; load average (1 min) %.2f before, %.2f after\n",
        static_cast<int>(std::size(Rows)) - missed, std::size(Rows), largest, loadBefore, loadAverage());

    // Receivers: FTP and SVDRP, with the servers the benchmark starts itself.
    benchReceivers(kvx, work, Paths["FULL"], Paths["CHANGED"]);

    const std::string cleanup = "rm -rf '" + work + "'";
    return std::system(cleanup.c_str()) == 0 ? 0 : 2;
}
