#pragma once

#include <string>
#include <vector>

// What a program started from a console or a desktop meets of its operating system: its arguments,
// its output streams, the display and the request to terminate.
namespace sw::platform {

// The program's arguments as UTF-8, the core's text. A Windows program's narrow arguments are in the
// ANSI code page, which cannot hold every folder name, so they are taken from the wide command line
// there.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Standard output and error carry UTF-8 with lines ending in "\n" on every system, so that what a
// program prints compares byte for byte; a Windows console shows that output as UTF-8.
void prepareConsoleOutput();

// Whether standard error goes to a terminal (not to a file or a pipe), where a line that updates in
// place can show progress.
bool standardErrorIsTerminal();

// Whether a window can be shown: a platform plugin is named, or an X or Wayland display is set. Always
// true on Windows.
bool displayAvailable();

// SIGTERM and SIGINT become one byte each on the returned descriptor, which a program's event loop
// watches to end as its user would. -1 where the system has no such signals (Windows) or the pipe
// cannot be made.
int terminationDescriptor();
// Takes one byte of a termination from the descriptor.
void takeTermination(int descriptor);

} // namespace sw::platform
