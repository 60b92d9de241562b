// kvx and receivers at 16384 channels, each run a whole process: Enigma2 settings exported to and
// imported from a loopback FTP server (Debian's pyftpdlib, started here) beside the same to and from a
// folder, and VDR over SVDRP (the real VDR, started here headless with the streamdev client).
#include "bench/kvx_bench_receivers.h"

#include "bench/bench_process.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

constexpr int Runs = 15;
constexpr int SvdrpRuns = 6;  // each changes the recorder's list, which it writes to its disk 2 s later

// One run: its time in ms, or a negative number when it could not start or failed.
double timed(const std::vector<std::string>& words, const std::string& work) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = spawnProgram(words, work + "/receiver.out", work + "/receiver.err");
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> times) {
    if (times.empty() || *std::min_element(times.begin(), times.end()) < 0) return -1;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double medianOf(const std::vector<std::string>& words, const std::string& work, int runs) {
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) times.push_back(timed(words, work));
    return median(times);
}

bool row(const char* what, double ms, double target, const char* targetText) {
    if (ms < 0) {
        std::printf("%-40s FAILED\n", what);
        return false;
    }
    const bool met = target <= 0 || ms < target;
    std::printf("%-40s %9.1f ms   %-34s %s\n", what, ms, targetText, target <= 0 ? "" : met ? "met" : "MISSED");
    return met;
}

std::string readText(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A server of the benchmark's own: started in its folder, ready once it wrote its port there.
struct Server {
    pid_t pid = -1;
    int port = 0;
};

void stop(Server& server) {
    if (server.pid <= 0) return;
    kill(server.pid, SIGTERM);
    for (int i = 0; i < 100 && waitpid(server.pid, nullptr, WNOHANG) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (waitpid(server.pid, nullptr, WNOHANG) == 0) {
        kill(server.pid, SIGKILL);
        waitpid(server.pid, nullptr, 0);
    }
    server.pid = -1;
}

int freePort() {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const bool bound = bind(socket, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                       getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    close(socket);
    return bound ? ntohs(address.sin_port) : 0;
}

bool startFtp(const std::string& work, Server& server) {
    const std::string root = work + "/box";
    if (std::system(("mkdir -p '" + root + "/etc/enigma2'").c_str()) != 0) return false;
    const std::string portFile = work + "/ftp.port";
    server.pid = spawnProgram(
        {"/usr/bin/python3", std::string(VESSALY_RECEIVER_SERVERS) + "/ftp_server.py", root, portFile, "root", "bench"},
        work + "/ftp.out", work + "/ftp.log");
    for (int i = 0; i < 200 && server.pid > 0; ++i) {
        server.port = std::atoi(readText(portFile).c_str());
        if (server.port > 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool startVdr(const std::string& work, const std::string& kvx, const std::string& channels, Server& server) {
    const std::string folder = work + "/vdr";
    if (std::system(("mkdir -p '" + folder + "/conf' '" + folder + "/video' '" + folder + "/cache' '" + folder +
                     "/res' && cp '" + channels + "' '" + folder + "/conf/channels.conf'")
                        .c_str()) != 0)
        return false;
    std::ofstream(folder + "/conf/sources.conf") << "S19.2E  Astra\n";
    std::ofstream(folder + "/conf/svdrphosts.conf") << "127.0.0.1\n";
    std::ofstream(folder + "/conf/setup.conf")
        << "streamdev-client.StartClient = 1\nstreamdev-client.RemoteIp = 127.0.0.1\n";
    server.port = freePort();
    std::vector<std::string> words{"/usr/bin/vdr"};
    if (getuid() == 0) words.insert(words.end(), {"-u", "root"});
    words.insert(words.end(), {"-c", folder + "/conf", "-v", folder + "/video", "--cachedir=" + folder + "/cache",
                               "--resdir=" + folder + "/res", "-L", "/usr/lib/vdr/plugins", "-P", "streamdev-client",
                               "-E-", "--no-kbd", "-p", std::to_string(server.port), "-l", "0"});
    server.pid = spawnProgram(words, folder + "/vdr.out", folder + "/vdr.log");
    const std::vector<std::string> probe{kvx, "import", "svdrp://127.0.0.1:" + std::to_string(server.port), "-o",
                                         work + "/probe.kvx"};
    for (int i = 0; i < 120 && server.pid > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        if (timed(probe, work) >= 0) return true;
    }
    return false;
}

}  // namespace

int benchReceivers(const std::string& kvx, const std::string& work, const std::string& full,
                   const std::string& changed) {
    std::printf("\nkvx and receivers at 16384 channels (whole processes, medians; servers on 127.0.0.1)\n");
    int missed = 0;
    setenv("KVX_PASSWORD", "bench", 1);
    const std::vector<std::string> enigma2{"--format", "enigma2", "--source", "S19.2E", "--nid", "1"};
    const auto words = [&](std::vector<std::string> start, const std::vector<std::string>& more) {
        start.insert(start.begin(), kvx);
        start.insert(start.end(), more.begin(), more.end());
        return start;
    };

    Server ftp;
    if (!startFtp(work, ftp)) {
        std::printf("FTP rows skipped: the loopback FTP server (Debian's python3-pyftpdlib) did not start\n");
    } else {
        const std::string box = "ftp://root@127.0.0.1:" + std::to_string(ftp.port) + "/etc/enigma2";
        const double localExport = medianOf(words({"export", full, "-o", work + "/folder"}, enigma2), work, Runs);
        const double ftpExport = medianOf(words({"export", full, "-o", box}, enigma2), work, Runs);
        const double localImport =
            medianOf(words({"import", work + "/folder", "-o", work + "/in.kvx"}, {}), work, Runs);
        const double ftpImport = medianOf(words({"import", box, "-o", work + "/in.kvx"}, {}), work, Runs);
        char target[64];
        row("export enigma2 to a folder", localExport, 0, "");
        std::snprintf(target, sizeof target, "< 2 x folder + 100 ms (%.1f ms)", 2 * localExport + 100);
        missed += row("export enigma2 to FTP", ftpExport, 2 * localExport + 100, target) ? 0 : 1;
        row("import enigma2 from a folder", localImport, 0, "");
        std::snprintf(target, sizeof target, "< 2 x folder + 100 ms (%.1f ms)", 2 * localImport + 100);
        missed += row("import enigma2 from FTP", ftpImport, 2 * localImport + 100, target) ? 0 : 1;
    }
    stop(ftp);

    const std::vector<std::string> vdr{"--format", "vdr", "--source", "S19.2E"};
    Server recorder;
    const std::string channels = work + "/recorder.conf";
    if (timed(words({"export", full, "--nid", "1", "-o", channels}, vdr), work) < 0 ||
        !startVdr(work, kvx, channels, recorder)) {
        std::printf("SVDRP rows skipped: VDR (Debian packages vdr, vdr-plugin-streamdev-client) did not start\n");
        stop(recorder);
        return missed;
    }
    const std::string name = "svdrp://127.0.0.1:" + std::to_string(recorder.port);
    const double import = medianOf(words({"import", name, "-o", work + "/in.kvx"}, {}), work, SvdrpRuns);
    missed += row("import over SVDRP", import, 1000, "< 1000 ms") ? 0 : 1;
    // Every run changes one channel: the changed list and the full list in turn.
    std::vector<double> times;
    times.reserve(SvdrpRuns);
    for (int i = 0; i < SvdrpRuns; ++i)
        times.push_back(timed(words({"export", i % 2 == 0 ? changed : full, "--nid", "1", "-o", name}, vdr), work));
    missed += row("export over SVDRP, one channel changed", median(times), 1000, "< 1000 ms") ? 0 : 1;
    // A whole new list: every channel under another network ID, once.
    const double whole = timed(words({"export", full, "--nid", "2", "-o", name}, vdr), work);
    const std::string said = readText(work + "/receiver.err");
    const std::size_t count = said.find(" SVDRP commands)");
    const std::size_t open = said.rfind('(', count);
    row("export over SVDRP, a whole new list", whole, 0,
        count == std::string::npos ? ""
                                   : ("one run, " + said.substr(open + 1, count - open - 1) + " commands").c_str());
    stop(recorder);
    return missed;
}
