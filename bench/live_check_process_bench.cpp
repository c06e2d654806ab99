// The live check as whole processes on 127.0.0.1, against the MMS server double started as a process of
// its own: the companion's "live PROJECT" against a minimal client process that connects, reads all the
// variables with the client core's batched reads and concludes, for 100, 1 000 and 5 000 variables. The
// goal is a ratio of at most 1: the check costs no more than the bare reads it is made of. The
// companion's start-up ("--help") is measured against a process that does nothing.
//
// The minimal client and the do-nothing process are one small program of their own (live_minimal_client),
// linked with what it uses and nothing more; this program is also the server when started with
// "--serve N": it serves N variables, prints its port, and serves until its standard input closes.

#include "mms_server_double.h"

#include "child_run.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using sw::test::MmsServerDouble;

constexpr const char* kDomain = "IED1LD0";

// The i-th variable: a hundred indications per logical node.
std::string nodeOf(std::size_t i) {
    return "GGIO" + std::to_string(i / 100 + 1);
}
std::string objectOf(std::size_t i) {
    return "Ind" + std::to_string(i % 100 + 1);
}
std::string itemOf(std::size_t i) {
    return nodeOf(i) + "$ST$" + objectOf(i) + "$stVal";
}

int serve(std::size_t count) {
    MmsServerDouble::Model model;
    for (std::size_t i = 0; i < count; ++i) {
        model.add(kDomain, itemOf(i), MmsServerDouble::boolean(i % 2 == 0));
    }
    MmsServerDouble server(std::move(model));
    std::printf("%u\n", static_cast<unsigned>(server.port()));
    std::fflush(stdout);
    char ignored[64];
    while (::read(0, ignored, sizeof ignored) > 0) {
    }
    return 0;
}

// The access list of a project whose variables are the server's.
void writeProject(const std::filesystem::path& folder, std::size_t count, std::uint16_t port) {
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / "IEC_61850_Client.xml", std::ios::binary);
    out << "<IEC_68850_Client><List_ICD_Files/><List_DA_Selected>";
    for (std::size_t i = 0; i < count; ++i) {
        out << "<DA_Item Index=\"" << i << "\" bType=\"BOOLEAN\" fc=\"ST\" Reference=\"" << kDomain << "/"
            << nodeOf(i) << "." << objectOf(i) << ".stVal\" IPAddress=\"127.0.0.1\" Port=\"" << port
            << "\" OnChange=\"Y\" OnCMD=\"N\" OnTimer=\"N\" Time=\"\" Position=\"" << i + 1
            << "\" StartBit=\"0\" ReadWrite=\"Read\" Convertion=\"None\" MoltFact=\"None\" Mnemonic=\"\"/>";
    }
    out << "</List_DA_Selected><List_DataSet_Selected/></IEC_68850_Client><!--SW_VERSION = 1.000-->";
}

// The server process: it serves while this object lives.
class ServerProcess {
public:
    ServerProcess(const std::string& self, std::size_t count) {
        int toServer[2];
        int fromServer[2];
        if (::pipe(toServer) != 0 || ::pipe(fromServer) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toServer[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromServer[1], 1);
        posix_spawn_file_actions_addclose(&actions, toServer[1]);
        posix_spawn_file_actions_addclose(&actions, fromServer[0]);
        std::string mode = "--serve";
        std::string size = std::to_string(count);
        std::string program = self;
        char* argv[] = {program.data(), mode.data(), size.data(), nullptr};
        const int spawned = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(toServer[0]);
        ::close(fromServer[1]);
        m_input = toServer[1];
        if (spawned != 0) {
            m_pid = -1;
            ::close(fromServer[0]);
            return;
        }
        std::string line;
        char c = 0;
        while (::read(fromServer[0], &c, 1) == 1 && c != '\n') {
            line += c;
        }
        ::close(fromServer[0]);
        m_port = static_cast<std::uint16_t>(std::atoi(line.c_str()));
    }
    ~ServerProcess() {
        ::close(m_input);
        if (m_pid > 0) {
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    std::uint16_t port() const { return m_port; }

private:
    pid_t m_pid = -1;
    int m_input = -1;
    std::uint16_t m_port = 0;
};

std::string selfPath() {
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

// The fastest run of each of two programs run by turns: the slower runs met a busy machine.
struct Pair {
    ChildRun baseline;
    ChildRun measured;
    bool failed = false;
};

void keepBest(ChildRun& best, const ChildRun& run) {
    if (best.seconds < 0 || run.seconds < best.seconds) {
        best = run;
    }
}

void report(benchmark::State& state, const Pair& pair, const char* baselineName, const char* measuredName) {
    state.counters[baselineName] = pair.baseline.seconds * 1e3;
    state.counters[measuredName] = pair.measured.seconds * 1e3;
    state.counters["ratio"] = pair.measured.seconds / pair.baseline.seconds;
}

void checkVersusMinimalClient(benchmark::State& state, std::size_t count) {
    const std::string self = selfPath();
    const ServerProcess server(self, count);
    if (server.port() == 0) {
        state.SkipWithError("the server process did not start");
        return;
    }
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        ("sw40512-live-bench-" + std::to_string(::getpid()) + "-" + std::to_string(count));
    writeProject(folder, count, server.port());
    const std::string port = std::to_string(server.port());
    const std::string size = std::to_string(count);
    Pair pair;
    for (auto _ : state) {
        const ChildRun client = runChild({SW_MINIMAL_CLIENT_PATH, port, size});
        const ChildRun check = runChild({SW_CLI_PATH, "live", folder.string()});
        if (client.exitCode != 0 || check.exitCode != 0) {
            pair.failed = true;
            break;
        }
        keepBest(pair.baseline, client);
        keepBest(pair.measured, check);
        state.SetIterationTime(check.seconds);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    if (pair.failed) {
        state.SkipWithError("a process did not read every variable");
        return;
    }
    report(state, pair, "client_ms", "check_ms");
}

void helpVersusNothing(benchmark::State& state) {
    Pair pair;
    for (auto _ : state) {
        const ChildRun nothing = runChild({SW_MINIMAL_CLIENT_PATH, "--nothing"});
        const ChildRun help = runChild({SW_CLI_PATH, "--help"});
        if (nothing.exitCode != 0 || help.exitCode != 0) {
            state.SkipWithError("a process failed");
            return;
        }
        keepBest(pair.baseline, nothing);
        keepBest(pair.measured, help);
        state.SetIterationTime(help.seconds);
    }
    report(state, pair, "nothing_ms", "help_ms");
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--serve") == 0) {
        return serve(std::strtoul(argv[2], nullptr, 10));
    }
    std::signal(SIGPIPE, SIG_IGN);
    benchmark::RegisterBenchmark("help_versus_nothing", helpVersusNothing)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(30);
    for (const auto& [count, iterations] : {std::pair<std::size_t, int>{100, 20}, {1000, 15}, {5000, 10}}) {
        benchmark::RegisterBenchmark(("live_versus_minimal_client/" + std::to_string(count)).c_str(),
                                     checkVersusMinimalClient, count)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(iterations);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
