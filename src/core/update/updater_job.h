#pragma once

#include "core/update/job_file.h"

#include <filesystem>
#include <string>
#include <vector>

namespace sw {

// What the stand-in updater makes of a job: the transfer it would carry out, step by step, and every
// reason it would refuse to. It never sends anything.
struct UpdaterRun {
    std::vector<std::string> transfer; // one line per operation, after one line about the device
    std::vector<std::string> problems; // one sentence each; empty when the job is sound

    bool sound() const { return problems.empty(); }
};

// Checks every field the transfer relies on and the files the operations name: the firmware must be a
// regular, non-empty file inside the program folder's MASTER folder (however its path is spelled or
// linked), bank1.bin must be a whole parameter block with a right checksum, bank2.bin must decode as
// a variable image for the address it goes to, and the two images must belong together. Every address
// must be in plain dotted-decimal form, and every operation must go to the job's one device.
UpdaterRun checkUpdateJob(const JobDocument& job, const std::filesystem::path& programFolder);

// Reads the job file in the program folder and checks it; a file that cannot be read is a problem.
UpdaterRun runUpdaterJob(const std::filesystem::path& programFolder);

} // namespace sw
