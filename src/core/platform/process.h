#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <stop_token>
#include <string>
#include <vector>

namespace sw::platform {

// Splits a command line into arguments at blanks; double quotes group blanks into one argument.
std::vector<std::string> splitCommandLine(const std::string& commandLine);

struct StartProgramResult {
    bool started = false;
    bool ended = false; // false when the wait limit passed and the program was left running
    std::chrono::milliseconds waited{0};
    int exitCode = -1; // the program's exit code once it ended normally; -1 otherwise
};

inline constexpr std::chrono::milliseconds kStartProgramLimit{150000};

// Starts a program directly (never through a shell) and waits for its end, polling every 10 ms on the
// named event "HandleCed", at most `limit`; a program still running then is left running. `hidden` 0
// shows the program normally, any other value starts it hidden (its output is discarded). A stop
// requested through `stop` ends the wait within one poll and leaves the program running, so a caller
// waiting on another thread can be shut down without waiting out the limit. With an `output` file, the
// program's standard output and error go into it (created or emptied first), so a window can show them.
StartProgramResult startProgram(const std::string& program, const std::string& parameter, std::uint8_t hidden,
                                std::chrono::milliseconds limit = kStartProgramLimit,
                                std::stop_token stop = {}, const std::filesystem::path& output = {});

#ifdef _WIN32
// The command line that hands the program exactly these arguments, quoted as the C runtime and
// CommandLineToArgvW read a command line back; the program's name comes first, in quotes.
std::wstring windowsCommandLine(const std::string& program, const std::vector<std::string>& arguments);
#endif

// Signals the named event, as another program may do to shorten a 10 ms wait.
void signalHandleCed();

} // namespace sw::platform
