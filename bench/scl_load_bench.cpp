// Loading an SCL file into the device model against a bare pugixml parse of the same bytes, in the
// same run, on generated files: a big single-IED ICD whose templates expand under every logical node,
// and a big SCD whose first IED is small. Peak memory is taken from a child process that only loads.

#include "scl_file_generator.h"

#include "core/common/atomic_file.h"
#include "core/common/xml_baseline.h"
#include "core/scl/scl_model.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Sample {
    std::filesystem::path file;
    std::string bytes;
    long peakLoadKb = 0;
    long peakDocumentKb = 0;
    std::size_t objects = 0;
};

// Runs this program again in one of its single-shot modes and returns the child's peak resident size.
long childPeakKb(const char* mode, const std::filesystem::path& file) {
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string modeArg = mode;
    std::string fileArg = file.string();
    char* argv[] = {self.data(), modeArg.data(), fileArg.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, environ) != 0) {
        return -1;
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return -1;
    }
    return usage.ru_maxrss;
}

double seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void loadVersusParse(benchmark::State& state, const Sample* sample) {
    double parse = 0;
    double load = 0;
    double destroy = 0;
    std::size_t objects = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        sw::xml::baseline::parse(sample->bytes);
        const auto t1 = Clock::now();

        const auto t2 = Clock::now();
        auto device = std::make_unique<sw::TIEC_Device>(sample->file);
        const auto t3 = Clock::now();
        objects = device->objectCount();
        device.reset();
        const auto t4 = Clock::now();

        parse += seconds(t1 - t0);
        load += seconds(t3 - t2);
        destroy += seconds(t4 - t3);
        state.SetIterationTime(seconds(t3 - t2));
    }
    const double n = static_cast<double>(state.iterations());
    const double mb = 1024.0 * 1024.0;
    state.counters["file_MB"] = static_cast<double>(sample->bytes.size()) / mb;
    state.counters["objects"] = static_cast<double>(objects);
    state.counters["parse_ms"] = parse / n * 1e3;
    state.counters["load_ms"] = load / n * 1e3;
    state.counters["destroy_ms"] = destroy / n * 1e3;
    state.counters["load_per_parse"] = load / parse;
    state.counters["objects_per_s"] = objects == 0 ? 0.0 : static_cast<double>(objects) / (load / n);
    state.counters["peak_MB"] = static_cast<double>(sample->peakLoadKb) / 1024.0;
    state.counters["document_peak_MB"] = static_cast<double>(sample->peakDocumentKb) / 1024.0;
    // The allowance: twice the file plus 150 bytes per model object.
    state.counters["budget_MB"] =
        (2.0 * static_cast<double>(sample->bytes.size()) + 150.0 * static_cast<double>(objects)) / mb;
    if (objects != 0) {
        state.counters["peak_bytes_per_object"] =
            static_cast<double>(sample->peakLoadKb) * 1024.0 / static_cast<double>(objects);
        state.counters["model_bytes_per_object"] =
            static_cast<double>(sample->peakLoadKb - sample->peakDocumentKb) * 1024.0 /
            static_cast<double>(objects);
    }
}

int singleShot(const std::string& mode, const char* file) {
    if (mode == "--load-once") {
        const sw::TIEC_Device device{std::filesystem::path(file)};
        std::printf("%zu\n", device.objectCount());
        return 0;
    }
    // The document alone, read the way the loader reads it: the difference is the model's own memory.
    sw::xml::baseline::parseFileInPlace(file);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 &&
        (std::strcmp(argv[1], "--load-once") == 0 || std::strcmp(argv[1], "--parse-once") == 0)) {
        return singleShot(argv[1], argv[2]);
    }

    std::string pattern = (std::filesystem::temp_directory_path() / "sw40512-scl-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path folder = pattern;

    std::vector<std::unique_ptr<Sample>> samples;
    const auto add = [&](const char* name, std::string bytes) {
        auto sample = std::make_unique<Sample>();
        sample->file = folder / name;
        sw::writeFileAtomically(sample->file, bytes);
        sample->bytes = std::move(bytes);
        sample->peakLoadKb = childPeakKb("--load-once", sample->file);
        sample->peakDocumentKb = childPeakKb("--parse-once", sample->file);
        benchmark::RegisterBenchmark(name, loadVersusParse, sample.get())
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(3);
        samples.push_back(std::move(sample));
    };
    add("single_ied_icd", sw::bench::generateIcd({}));
    add("many_ied_scd", sw::bench::generateScd(100u * 1024 * 1024));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
