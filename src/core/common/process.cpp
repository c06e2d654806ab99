#include "core/common/process.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <semaphore.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace sw {

namespace {

constexpr const char* kEventName = "/HandleCed";

// An auto-reset event: a named semaphore drained on reset and consumed by each successful wait.
class NamedEvent {
public:
    NamedEvent() : m_handle(sem_open(kEventName, O_CREAT, 0600, 0)) {}
    ~NamedEvent() {
        if (m_handle != SEM_FAILED) {
            sem_close(m_handle);
        }
    }
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;

    void reset() {
        if (m_handle != SEM_FAILED) {
            while (sem_trywait(m_handle) == 0) {
            }
        }
    }

    void wait(std::chrono::milliseconds timeout) {
        if (m_handle == SEM_FAILED) {
            std::this_thread::sleep_for(timeout);
            return;
        }
        timespec deadline{};
        clock_gettime(CLOCK_REALTIME, &deadline);
        deadline.tv_nsec += static_cast<long>(timeout.count()) * 1000000L;
        deadline.tv_sec += deadline.tv_nsec / 1000000000L;
        deadline.tv_nsec %= 1000000000L;
        while (sem_timedwait(m_handle, &deadline) != 0 && errno == EINTR) {
        }
    }

private:
    sem_t* m_handle;
};

} // namespace

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

void signalHandleCed() {
    sem_t* handle = sem_open(kEventName, O_CREAT, 0600, 0);
    if (handle != SEM_FAILED) {
        sem_post(handle);
        sem_close(handle);
    }
}

StartProgramResult Start_Program(const std::string& NomeSW, const std::string& Parameter, std::uint8_t tipo,
                                 std::chrono::milliseconds limit, std::stop_token stop) {
    StartProgramResult result;
    NamedEvent event;

    std::vector<std::string> args{NomeSW};
    for (auto& arg : splitCommandLine(Parameter)) {
        args.push_back(std::move(arg));
    }
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (tipo != 0) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    result.started = posix_spawn(&pid, NomeSW.c_str(), &actions, nullptr, argv.data(), environ) == 0;
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

} // namespace sw
