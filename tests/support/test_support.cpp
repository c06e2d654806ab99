#include "test_support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include "core/common/path_text.h"
#include "core/platform/process.h"

#include <random>
#include <thread>
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace sw::test {

#ifdef _WIN32

TempDir::TempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate = std::filesystem::temp_directory_path() /
                               ("sw40512-test-" + std::to_string(random() % 1000000000));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

#else

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sw40512-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    m_path = pattern;
}

#endif

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

#ifdef _WIN32

namespace {

void closeHandle(HANDLE& handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
    }
    handle = nullptr;
}

} // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& stdinText) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr, errRead = nullptr,
           errWrite = nullptr;
    if (!CreatePipe(&inRead, &inWrite, &inheritable, 0) ||
        !CreatePipe(&outRead, &outWrite, &inheritable, 0) ||
        !CreatePipe(&errRead, &errWrite, &inheritable, 0)) {
        throw std::runtime_error("CreatePipe failed");
    }
    // Our own ends stay with us.
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    std::wstring commandLine =
        sw::platform::windowsCommandLine(argv.at(0), std::vector<std::string>(argv.begin() + 1, argv.end()));
    const std::filesystem::path program = sw::pathFromUtf8(argv.at(0));
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, nullptr, &startup, &process) != 0;
    closeHandle(inRead);
    closeHandle(outWrite);
    closeHandle(errWrite);
    ProcessResult result;
    if (!started) {
        closeHandle(inWrite);
        closeHandle(outRead);
        closeHandle(errRead);
        return result;
    }
    const auto drain = [](HANDLE pipe, std::string& text) {
        char buffer[65536];
        DWORD got = 0;
        while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            text.append(buffer, got);
        }
    };
    std::thread errors(drain, errRead, std::ref(result.stderrText));
    if (!stdinText.empty()) {
        DWORD written = 0;
        WriteFile(inWrite, stdinText.data(), static_cast<DWORD>(stdinText.size()), &written, nullptr);
    }
    closeHandle(inWrite);
    drain(outRead, result.stdoutText);
    errors.join();
    closeHandle(outRead);
    closeHandle(errRead);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    result.exitCode = static_cast<int>(exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return result;
}

#else

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& stdinText) {
    int out[2];
    int err[2];
    int in[2];
    if (pipe(out) != 0 || pipe(err) != 0 || pipe(in) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) {
        posix_spawn_file_actions_addclose(&actions, fd);
    }
    std::vector<std::string> args = argv;
    std::vector<char*> raw;
    for (auto& arg : args) {
        raw.push_back(arg.data());
    }
    raw.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    ProcessResult result;
    if (spawned != 0) {
        close(in[1]);
        close(out[0]);
        close(err[0]);
        return result;
    }
    if (!stdinText.empty()) {
        [[maybe_unused]] auto written = write(in[1], stdinText.data(), stdinText.size());
    }
    close(in[1]);
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP)) != 0) {
                const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
                if (got <= 0) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                } else {
                    (i == 0 ? result.stdoutText : result.stderrText)
                        .append(buffer, static_cast<std::size_t>(got));
                }
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

#endif

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const std::filesystem::path& file, const std::string& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::filesystem::path sharedSamplesFolder() {
#ifdef SW_SHARED_DIR
    const std::filesystem::path folder = std::filesystem::path(SW_SHARED_DIR) / "scl-samples";
    std::error_code error;
    if (std::filesystem::is_directory(folder, error)) {
        return folder;
    }
#endif
    return {};
}

} // namespace sw::test
