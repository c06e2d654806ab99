#include "core/platform/console.h"

#include <cstdlib>

#ifdef _WIN32
#include "core/platform/paths.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <shellapi.h>
#else
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace sw::platform {

#ifdef _WIN32

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(utf8FromWide(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

void prepareConsoleOutput() {
    SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

bool standardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

bool displayAvailable() {
    return true;
}

int terminationDescriptor() {
    return -1;
}

void takeTermination(int) {}

#else

namespace {

int g_terminationPipe[2] = {-1, -1};

void onTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_terminationPipe[0], &byte, 1);
}

bool isSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != 0;
}

} // namespace

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void prepareConsoleOutput() {}

bool standardErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

bool displayAvailable() {
    return isSet("QT_QPA_PLATFORM") || isSet("DISPLAY") || isSet("WAYLAND_DISPLAY");
}

int terminationDescriptor() {
    if (g_terminationPipe[1] >= 0) {
        return g_terminationPipe[1];
    }
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_terminationPipe) != 0) {
        return -1;
    }
    struct sigaction action {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return g_terminationPipe[1];
}

void takeTermination(int descriptor) {
    char byte = 0;
    [[maybe_unused]] const auto got = ::read(descriptor, &byte, 1);
}

#endif

} // namespace sw::platform
