// Readers of outside input under load: a language file of a million lines, read at half and at full
// size, and a link to an endless device where a project file is expected, refused before reading.
// Figures are ratios measured in the same run: the full size against half of it (linear growth gives
// about 2), and the load against a bare read of the same bytes.

#include "temp_folder.h"

#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/language/builtin_texts.h"
#include "core/language/language_file.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <sys/resource.h>

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Lines as translators write them, every entry of the table set many times over.
std::string languageFile(std::size_t lines) {
    std::string text = "// generated\r\n";
    for (std::size_t i = 0; i < lines; ++i) {
        text += "STR " + std::to_string(i % 1500) + "=T" + std::to_string(i % 10) + "\n";
    }
    return text;
}

double loadSeconds(const std::filesystem::path& file, sw::LangTable& table) {
    const auto start = Clock::now();
    sw::fillBuiltinTexts(table);
    sw::LoadLanguageFile(table, file);
    return secondsSince(start);
}

void BM_LanguageFileOfAMillionLines(benchmark::State& state) {
    const TempFolder folder("sw_hostile_bench_");
    const auto half = folder.path() / "Half.lng";
    const auto full = folder.path() / "Full.lng";
    sw::writeFileAtomically(half, languageFile(500'000));
    sw::writeFileAtomically(full, languageFile(1'000'000));
    double halfSeconds = 0;
    double fullSeconds = 0;
    double readSeconds = 0;
    for (auto _ : state) {
        sw::LangTable table;
        halfSeconds += loadSeconds(half, table);
        fullSeconds += loadSeconds(full, table);
        benchmark::DoNotOptimize(table.Get(1499));
        const auto start = Clock::now();
        benchmark::DoNotOptimize(sw::readFileBytes(full, sw::limits::kLanguageFile).size());
        readSeconds += secondsSince(start);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(full)) / (1024.0 * 1024.0);
    state.counters["full_ms"] = 1000 * fullSeconds / n;
    state.counters["full_over_half"] = fullSeconds / halfSeconds;
    state.counters["load_over_read"] = fullSeconds / readSeconds;
}
BENCHMARK(BM_LanguageFileOfAMillionLines)->Unit(benchmark::kMillisecond)->Iterations(3);

// The refusal must come before any byte is read: time and the growth of peak memory stay tiny.
void BM_EndlessDeviceRefused(benchmark::State& state) {
    const TempFolder folder("sw_hostile_bench_");
    const auto link = folder.path() / "IEC_61850_Client.xml";
    std::filesystem::create_symlink("/dev/zero", link);
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        try {
            sw::readFileBytes(link, sw::limits::kAccessFile);
            state.SkipWithError("the endless device was read");
        } catch (const sw::ConfigError&) {
        }
        seconds += secondsSince(start);
    }
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    state.counters["refusal_us"] = 1e6 * seconds / static_cast<double>(state.iterations());
    state.counters["peak_growth_kB"] = static_cast<double>(after.ru_maxrss - before.ru_maxrss);
}
BENCHMARK(BM_EndlessDeviceRefused)->Iterations(100);

} // namespace

BENCHMARK_MAIN();
