// The signal list's data-array map, lint and CSV export on a 50 000-variable, 2 000-data-set access list,
// each against reading the same access file in the same run.
#include "core/access/access_file.h"
#include "core/access/access_list.h"
#include "core/access/data_array_map.h"
#include "core/access/lint.h"
#include "core/access/signal_csv.h"
#include "core/common/atomic_file.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kVariables = 50000;
constexpr int kDataSets = 2000;
constexpr int kMembers = 20;

// An access file as the editor writes it, two devices in its catalog. Positions wrap around the array,
// so most places are shared and many collide: the lint has thousands of lines to word.
std::string generatedAccessFile() {
    sw::access::AccessFile access;
    access.catalog.resize(2);
    for (auto& item : access.catalog) {
        item.cells = {"IED", "ied.icd"};
        item.present.set();
    }
    access.variables.resize(kVariables);
    for (int i = 0; i < kVariables; ++i) {
        auto& row = access.variables[static_cast<std::size_t>(i)];
        row.cells = {std::to_string(i % 2),
                     "FLOAT32",
                     "MX",
                     "IED1CTRL/MMXU" + std::to_string(i % 500) + ".A.phs" + std::to_string(i % 3) +
                         ".cVal.mag.f",
                     "192.168.2." + std::to_string(i % 250),
                     "102",
                     "N",
                     "N",
                     "Y",
                     "1000",
                     std::to_string(i % 1400),
                     std::to_string((i / 1400) % 8),
                     i % 2 == 0 ? "Read" : "Write",
                     "None",
                     "0,1",
                     "point " + std::to_string(i) + ", \"quoted\""};
        row.present.set();
    }
    access.dataSets.resize(kDataSets);
    for (int d = 0; d < kDataSets; ++d) {
        auto& dataSet = access.dataSets[static_cast<std::size_t>(d)];
        dataSet.cells = {std::to_string(d % 2),
                         "IED1CTRL/LLN0.DataSet" + std::to_string(d),
                         "Goose",
                         "Y",
                         "192.168.3.1",
                         "102",
                         "1000",
                         ""};
        dataSet.present.set();
        dataSet.hasMemberList = true;
        dataSet.members.resize(kMembers);
        for (int m = 0; m < kMembers; ++m) {
            auto& member = dataSet.members[static_cast<std::size_t>(m)];
            member.cells = {"BOOLEAN",
                            "IED1CTRL/GGIO" + std::to_string(d) + ".Ind" + std::to_string(m) + ".stVal",
                            std::to_string((d * kMembers + m) % 1400),
                            "",
                            "None",
                            "1",
                            ""};
            member.present.set();
        }
    }
    return sw::access::accessFileBytes(access);
}

double secondsOf(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each iteration reads the file, then maps, lints and exports what it read: the ratios compare work
// done on the same machine moments apart. The goal is at most 1 for each.
void BM_SignalListVersusReadingTheAccessFile(benchmark::State& state) {
    std::random_device random;
    const std::filesystem::path file = std::filesystem::temp_directory_path() /
                                       ("sw_signal_list_bench_" + std::to_string(random()) + ".xml");
    sw::writeFileAtomically(file, generatedAccessFile());
    // The catalog as the editor holds it when the ICD files are missing: indexes count, references are
    // not looked up.
    std::vector<sw::access::CatalogDevice> devices(2);
    for (auto& device : devices) {
        device.state = sw::access::CatalogDevice::State::Missing;
    }
    double readSeconds = 0;
    double mapSeconds = 0;
    double lintSeconds = 0;
    double exportSeconds = 0;
    std::size_t warnings = 0;
    for (auto _ : state) {
        sw::access::AccessFile access;
        readSeconds += secondsOf([&] { access = sw::access::readAccessFile(file); });
        mapSeconds += secondsOf(
            [&] { benchmark::DoNotOptimize(sw::access::buildDataArrayMap(access).conflictCount()); });
        lintSeconds += secondsOf([&] { warnings = sw::access::lintAccessList(access, devices).size(); });
        exportSeconds += secondsOf([&] {
            benchmark::DoNotOptimize(sw::access::variablesCsv(access).size() +
                                     sw::access::dataSetsCsv(access).size());
        });
    }
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["read_ms"] = 1000 * readSeconds / iterations;
    state.counters["map_over_read"] = mapSeconds / readSeconds;
    state.counters["lint_over_read"] = lintSeconds / readSeconds;
    state.counters["export_over_read"] = exportSeconds / readSeconds;
    state.counters["lint_lines"] = static_cast<double>(warnings);
}
BENCHMARK(BM_SignalListVersusReadingTheAccessFile)->Unit(benchmark::kMillisecond)->MinTime(3.0);

} // namespace

BENCHMARK_MAIN();
