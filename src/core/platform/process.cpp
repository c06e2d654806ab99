#include "core/platform/process.h"

#include "core/platform/handle.h"

#include <thread>

#ifdef _WIN32
#include "core/platform/paths.h"

#include <windows.h>
#else
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <semaphore.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace sw::platform {

std::vector<std::string> splitCommandLine(const std::string& commandLine) {
    std::vector<std::string> args;
    std::string current;
    bool inQuotes = false;
    bool hasArgument = false;
    for (char c : commandLine) {
        if (c == '"') {
            inQuotes = !inQuotes;
            hasArgument = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (hasArgument) {
                args.push_back(current);
                current.clear();
                hasArgument = false;
            }
        } else {
            current += c;
            hasArgument = true;
        }
    }
    if (hasArgument) {
        args.push_back(current);
    }
    return args;
}

#ifdef _WIN32

namespace {

constexpr const wchar_t* kEventName = L"HandleCed";

// The auto-reset event another program may set to shorten a 10 ms wait.
class NamedEvent {
public:
    NamedEvent() : m_handle(CreateEventW(nullptr, FALSE, FALSE, kEventName)) {}

    void reset() {
        if (m_handle.valid()) {
            ResetEvent(m_handle.get());
        }
    }

    void wait(std::chrono::milliseconds timeout) {
        if (!m_handle.valid()) {
            std::this_thread::sleep_for(timeout);
            return;
        }
        WaitForSingleObject(m_handle.get(), static_cast<DWORD>(timeout.count()));
    }

private:
    FileHandle m_handle;
};

// One argument as the C runtime's command-line parser reads it back: quoted when it holds blanks or
// quotes or is empty; a quote is escaped, and so are the backslashes in front of a quote or of the end.
void appendQuoted(std::wstring& commandLine, const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        commandLine += argument;
        return;
    }
    commandLine += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        commandLine.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        commandLine += c;
    }
    commandLine.append(backslashes * 2, L'\\');
    commandLine += L'"';
}

} // namespace

// The program's own name is read by other rules (no escapes, a quote only groups), and a file name holds
// no quote: it is quoted as it is.
std::wstring windowsCommandLine(const std::string& program, const std::vector<std::string>& arguments) {
    std::wstring commandLine = L"\"" + wideFromUtf8(program) + L"\"";
    for (const std::string& argument : arguments) {
        commandLine += L' ';
        appendQuoted(commandLine, wideFromUtf8(argument));
    }
    return commandLine;
}

void signalHandleCed() {
    const FileHandle event(CreateEventW(nullptr, FALSE, FALSE, kEventName));
    if (event.valid()) {
        SetEvent(event.get());
    }
}

StartProgramResult startProgram(const std::string& program, const std::string& parameter, std::uint8_t hidden,
                                std::chrono::milliseconds limit, std::stop_token stop,
                                const std::filesystem::path& output) {
    StartProgramResult result;
    NamedEvent event;

    const std::wstring wideProgram = wideFromUtf8(program);
    std::wstring commandLine = windowsCommandLine(program, splitCommandLine(parameter));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    DWORD flags = 0;
    FileHandle nowhere;
    if (hidden != 0) {
        // Hidden: no window, no console, and its output goes nowhere.
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_HIDE;
        flags |= CREATE_NO_WINDOW;
        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        nowhere.reset(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                  OPEN_EXISTING, 0, nullptr));
        if (nowhere.valid()) {
            startup.dwFlags |= STARTF_USESTDHANDLES;
            startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
            startup.hStdOutput = nowhere.get();
            startup.hStdError = nowhere.get();
        }
    }
    FileHandle outputFile;
    if (!output.empty()) {
        SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        outputFile.reset(CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (outputFile.valid()) {
            startup.dwFlags |= STARTF_USESTDHANDLES;
            startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
            startup.hStdOutput = outputFile.get();
            startup.hStdError = outputFile.get();
        }
    }
    PROCESS_INFORMATION process{};
    // The program's name is given on its own, so nothing is searched for along the path.
    result.started = CreateProcessW(wideProgram.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags,
                                    nullptr, nullptr, &startup, &process) != 0;
    nowhere.reset();
    outputFile.reset();
    event.reset();
    if (!result.started) {
        return result;
    }
    CloseHandle(process.hThread);
    const FileHandle running(process.hProcess);

    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const DWORD state = WaitForSingleObject(running.get(), 0);
        result.waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        if (state != WAIT_TIMEOUT) {
            result.ended = true;
            DWORD exitCode = 0;
            if (state == WAIT_OBJECT_0 && GetExitCodeProcess(running.get(), &exitCode)) {
                result.exitCode = static_cast<int>(exitCode);
            }
            event.wait(std::chrono::milliseconds(10));
            break;
        }
        if (result.waited >= limit || stop.stop_requested()) {
            break; // left running; closing our handle does not end it
        }
        event.wait(std::chrono::milliseconds(10));
    }
    return result;
}

#else

namespace {

constexpr const char* kEventName = "/HandleCed";

// A named semaphore, closed (not removed) on every way out.
struct SemaphoreTraits {
    using Native = sem_t*;
    static Native invalid() { return SEM_FAILED; }
    static bool valid(Native native) { return native != SEM_FAILED; }
    static bool close(Native native) { return sem_close(native) == 0; }
};
using Semaphore = UniqueHandle<SemaphoreTraits>;

// An auto-reset event: a named semaphore drained on reset and consumed by each successful wait.
class NamedEvent {
public:
    NamedEvent() : m_handle(sem_open(kEventName, O_CREAT, 0600, 0)) {}

    void reset() {
        if (m_handle.valid()) {
            while (sem_trywait(m_handle.get()) == 0) {
            }
        }
    }

    void wait(std::chrono::milliseconds timeout) {
        if (!m_handle.valid()) {
            std::this_thread::sleep_for(timeout);
            return;
        }
        timespec deadline{};
        clock_gettime(CLOCK_REALTIME, &deadline);
        deadline.tv_nsec += static_cast<long>(timeout.count()) * 1000000L;
        deadline.tv_sec += deadline.tv_nsec / 1000000000L;
        deadline.tv_nsec %= 1000000000L;
        while (sem_timedwait(m_handle.get(), &deadline) != 0 && errno == EINTR) {
        }
    }

private:
    Semaphore m_handle;
};

} // namespace

void signalHandleCed() {
    const Semaphore event(sem_open(kEventName, O_CREAT, 0600, 0));
    if (event.valid()) {
        sem_post(event.get());
    }
}

StartProgramResult startProgram(const std::string& program, const std::string& parameter, std::uint8_t hidden,
                                std::chrono::milliseconds limit, std::stop_token stop,
                                const std::filesystem::path& output) {
    StartProgramResult result;
    NamedEvent event;

    std::vector<std::string> args{program};
    for (auto& arg : splitCommandLine(parameter)) {
        args.push_back(std::move(arg));
    }
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!output.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    } else if (hidden != 0) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    result.started = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    event.reset();
    if (!result.started) {
        return result;
    }

    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        result.waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        if (done == pid || (done < 0 && errno != EINTR)) {
            result.ended = true;
            if (done == pid && WIFEXITED(status)) {
                result.exitCode = WEXITSTATUS(status);
            }
            event.wait(std::chrono::milliseconds(10));
            break;
        }
        if (result.waited >= limit || stop.stop_requested()) {
            // Left running; reap it whenever it ends so it does not linger as a zombie.
            std::thread([pid] {
                int ignored = 0;
                waitpid(pid, &ignored, 0);
            }).detach();
            break;
        }
        event.wait(std::chrono::milliseconds(10));
    }
    return result;
}

#endif

} // namespace sw::platform
