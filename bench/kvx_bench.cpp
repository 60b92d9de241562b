// Times the kvx command at the largest list, 16384 channels, each run a whole process started the
// way a shell starts it, beside the floor of copying the same bytes with cat in the same run.
//
//   kvx_bench PATH_TO_KVX
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_list.h"
#include "channel/channel_file.h"

extern char** environ;

namespace {

constexpr int Runs = 15;
constexpr int FullList = 16384;

std::string Work;

// Runs argv with standard output going to outputPath; the time from start to exit, in ms, or -1
// when the program failed (exit status above allowedStatus).
double runOnce(const std::vector<std::string>& words, const std::string& outputPath, int allowedStatus) {
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(child, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) > allowedStatus) return -1;
    return std::chrono::duration<double, std::milli>(end - start).count();
}

struct Figure {
    double minimum;
    double median;
    bool ok;
};

Figure measure(const std::vector<std::string>& words, const std::string& outputPath, int allowedStatus) {
    std::vector<double> times;
    for (int run = 0; run < Runs; ++run) {
        const double ms = runOnce(words, outputPath, allowedStatus);
        if (ms < 0) return {0, 0, false};
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2], true};
}

void report(const char* what, const Figure& figure, double targetMs) {
    if (!figure.ok) {
        std::printf("%-40s FAILED\n", what);
        return;
    }
    std::printf("%-40s min %7.2f  median %7.2f ms   target < %3.0f ms  %s\n", what, figure.minimum, figure.median,
                targetMs, figure.median < targetMs ? "met" : "MISSED");
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
    Work = folder;
    const std::string full = Work + "/full.kvx", changed = Work + "/changed.kvx", csv = Work + "/full.csv";
    const std::string null = "/dev/null";

    std::vector<ChannelRecord> records(FullList);
    makeBenchList(records.data(), FullList);
    if (!writeList(full, records)) return 2;
    records[FullList / 2].sid.set(65000);  // one channel changed
    if (!writeList(changed, records)) return 2;

    std::printf("kvx at %d channels, %d runs each (whole processes)\n", FullList, Runs);
    const Figure floor = measure({"/bin/cat", full}, Work + "/copy.kvx", 0);
    std::printf("%-40s min %7.2f  median %7.2f ms\n", "floor: cat of the list to its folder", floor.minimum,
                floor.median);
    report("check", measure({kvx, "check", full}, null, 1), 20);
    report("diff (one channel changed)", measure({kvx, "diff", full, changed}, null, 1), 30);
    report("sort by name", measure({kvx, "sort", full, "--by", "name", "-o", Work + "/sorted.kvx"}, null, 0), 30);
    report("export", measure({kvx, "export", full, "-o", csv}, null, 0), 60);
    report("import", measure({kvx, "import", csv, "-o", Work + "/imported.kvx"}, null, 0), 100);

    const std::string cleanup = "rm -rf '" + Work + "'";
    return std::system(cleanup.c_str()) == 0 ? 0 : 2;
}
