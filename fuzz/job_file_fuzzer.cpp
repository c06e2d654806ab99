#include "core/common/config_error.h"
#include "core/update/job_file.h"
#include "core/update/updater_job.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

// Any bytes as the update job file: a clean ConfigError, or a job whose check lists its problems; the
// files it names are looked at only when they exist.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        const sw::JobDocument job = sw::readJobBytes(
            std::string_view(reinterpret_cast<const char*>(data), size), "Ethernet_Update.xml");
        sw::checkUpdateJob(job, "sw-fuzz-program");
    } catch (const sw::ConfigError&) {
    }
    return 0;
}
