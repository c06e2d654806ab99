// Reading a variables CSV: peak memory against the file's size, the full file's time against half of it,
// and a wrong header refused after its first line (a huge file against a tiny one). Every figure is a
// ratio measured in the same run. A goal missed makes the program exit with 1.
//
// Peak memory is counted by this program's own global operator new and delete: every allocation of the
// import (the file's bytes, which readFileBytes reads into a std::string, the reader's buffers, the rows,
// the check's copy) goes through them, so the highest count of live bytes during one import, less the
// count before it, is exactly the heap the import needed. Unlike the resident set size, the count does
// not depend on what the allocator keeps from earlier work or on other programs on the machine.

#include "temp_folder.h"

#include "core/access/access_file.h"
#include "core/access/access_list.h"
#include "core/access/csv.h"
#include "core/access/signal_csv.h"
#include "core/common/atomic_file.h"
#include "core/common/config_error.h"
#include "core/language/builtin_texts.h"
#include "core/language/lang_table.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <new>
#include <random>
#include <string>
#include <vector>

namespace {

std::atomic<std::size_t> g_liveBytes{0};
std::atomic<std::size_t> g_peakBytes{0};

// A header in front of each block keeps its size for operator delete; 16 bytes keep the alignment.
constexpr std::size_t kSizeHeader = 16;

void* allocate(std::size_t size) {
    void* block = std::malloc(size + kSizeHeader);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    *static_cast<std::size_t*>(block) = size;
    const std::size_t live = g_liveBytes.fetch_add(size) + size;
    std::size_t peak = g_peakBytes.load();
    while (live > peak && !g_peakBytes.compare_exchange_weak(peak, live)) {
    }
    return static_cast<char*>(block) + kSizeHeader;
}

void release(void* pointer) noexcept {
    if (pointer == nullptr) {
        return;
    }
    void* block = static_cast<char*>(pointer) - kSizeHeader;
    g_liveBytes.fetch_sub(*static_cast<std::size_t*>(block));
    std::free(block);
}

} // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void operator delete(void* pointer) noexcept {
    release(pointer);
}
void operator delete[](void* pointer) noexcept {
    release(pointer);
}
void operator delete(void* pointer, std::size_t) noexcept {
    release(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    release(pointer);
}

namespace {

using Clock = std::chrono::steady_clock;
using sw::access::kMaxImportedVariables;

std::vector<std::string> g_missedGoals;

void miss(benchmark::State& state, const std::string& goal) {
    g_missedGoals.push_back(goal);
    state.SkipWithError(goal.c_str());
}

const sw::LangTable& texts() {
    static const sw::LangTable table = [] {
        sw::LangTable t;
        sw::fillBuiltinTexts(t);
        return t;
    }();
    return table;
}

constexpr const char* kHeader =
    "Index,bType,fc,Reference,IPAddress,Port,OnChange,OnCMD,OnTimer,Time,Position,"
    "StartBit,ReadWrite,Convertion,MoltFact,Mnemonic\r\n";
constexpr const char* kBadHeader = "Index,Colour\r\n";

// A header and `rows` clean rows, each with a mnemonic of `mnemonicSize` characters.
std::string variablesCsv(const char* header, std::size_t rows, std::size_t mnemonicSize) {
    std::string text = header;
    const std::string mnemonic(mnemonicSize, 'm');
    for (std::size_t r = 0; r < rows; ++r) {
        text += "0,FLOAT32,MX,LD0/MMXU1.TotW.mag.f,10.0.0.1,102,Y,N,N,,";
        text += std::to_string(r % 1400);
        text += ",,Read,None,1,\"";
        text += mnemonic;
        text += "\"\r\n";
    }
    return text;
}

// Rows of the size the device takes in all, so that a file at the size limit has far more of them.
std::string manyRows(const char* header, std::size_t bytes) {
    const std::string row = "0,FLOAT32,MX,LD0/MMXU1.TotW.mag.f,10.0.0.1,102,Y,N,N,,12,,Read,None,1,m\r\n";
    std::string text = header;
    text.reserve(bytes + row.size());
    while (text.size() < bytes) {
        text += row;
    }
    return text;
}

// What the import may hold besides four times the file: the objects of the most rows it ever keeps (the
// rows and the check's copy of them, with where each row is), whatever the file's size.
constexpr std::size_t kConstantBytes =
    kMaxImportedVariables *
        (sizeof(sw::access::VariableRow) + sizeof(sw::access::VariableCells) + sizeof(std::size_t)) * 2 +
    (std::size_t{1} << 20);

struct Import {
    double seconds = 0;
    std::size_t peakBytes = 0;
    std::size_t rows = 0;
    std::string error;
};

Import importFile(const std::filesystem::path& file) {
    Import result;
    const std::size_t before = g_liveBytes.load();
    g_peakBytes.store(before);
    const auto start = Clock::now();
    try {
        result.rows = sw::access::readVariablesCsvFile(file, 1, ',', texts()).size();
    } catch (const sw::ConfigError& error) {
        result.error = error.what();
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.peakBytes = g_peakBytes.load() - before;
    return result;
}

double megabytes(std::size_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// Checks the peak of an import against four times the file plus the constant; gives the peak over the
// file's size.
double checkPeak(benchmark::State& state, const Import& import, std::size_t fileBytes, const char* what) {
    if (import.peakBytes > 4 * fileBytes + kConstantBytes) {
        miss(state, std::string(what) + ": peak memory " + std::to_string(megabytes(import.peakBytes)) +
                        " MB is more than four times the file's " + std::to_string(megabytes(fileBytes)) +
                        " MB plus " + std::to_string(megabytes(kConstantBytes)) + " MB");
    }
    return static_cast<double>(import.peakBytes) / static_cast<double>(fileBytes);
}

// The most rows the device takes, with long mnemonics so that the file's bytes outweigh the rows'
// objects, against half as many rows: memory in proportion to the file, time linear.
void BM_VariablesAtTheDeviceLimit(benchmark::State& state) {
    const TempFolder folder("sw_csv_bench_");
    const auto full = folder.path() / "full.csv";
    const auto half = folder.path() / "half.csv";
    sw::writeFileAtomically(full, variablesCsv(kHeader, kMaxImportedVariables, 2000));
    sw::writeFileAtomically(half, variablesCsv(kHeader, kMaxImportedVariables / 2, 2000));
    const std::size_t fullBytes = std::filesystem::file_size(full);
    double fullSeconds = 1e9;
    double halfSeconds = 1e9;
    Import fullImport;
    for (auto _ : state) {
        // The fastest of each, taken in turns, so that other work on the machine weighs on neither.
        for (int round = 0; round < 5; ++round) {
            const Import h = importFile(half);
            fullImport = importFile(full);
            if (!fullImport.error.empty() || !h.error.empty() || fullImport.rows != kMaxImportedVariables) {
                miss(state, "the clean file was refused: " + fullImport.error + h.error);
                return;
            }
            halfSeconds = std::min(halfSeconds, h.seconds);
            fullSeconds = std::min(fullSeconds, fullImport.seconds);
        }
    }
    state.counters["file_MB"] = megabytes(fullBytes);
    state.counters["full_ms"] = 1000 * fullSeconds;
    state.counters["full_over_half"] = fullSeconds / halfSeconds;
    state.counters["peak_MB"] = megabytes(fullImport.peakBytes);
    state.counters["peak_over_file"] = checkPeak(state, fullImport, fullBytes, "device-limit file");
    if (fullSeconds / halfSeconds > 3.0) {
        miss(state, "the full file took " + std::to_string(fullSeconds / halfSeconds) +
                        " times as long as half of it (linear: about 2)");
    }
}
BENCHMARK(BM_VariablesAtTheDeviceLimit)->Unit(benchmark::kMillisecond)->Iterations(1);

// 128 MB of rows, far more than the device takes: refused at the first row past the limit, holding no
// more than the file's bytes and the rows up to there.
void BM_TooManyRowsRefused(benchmark::State& state) {
    const TempFolder folder("sw_csv_bench_");
    const auto file = folder.path() / "many.csv";
    sw::writeFileAtomically(file, manyRows(kHeader, std::size_t{128} << 20));
    const std::size_t fileBytes = std::filesystem::file_size(file);
    Import import;
    double readSeconds = 0;
    for (auto _ : state) {
        import = importFile(file);
        const auto start = Clock::now();
        benchmark::DoNotOptimize(sw::readFileBytes(file, sw::csv::kFileLimit).size());
        readSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    if (import.error.find("more than " + std::to_string(kMaxImportedVariables) + " rows") ==
        std::string::npos) {
        miss(state, "the file of too many rows was not refused for them: " + import.error);
    }
    state.counters["file_MB"] = megabytes(fileBytes);
    state.counters["refusal_over_bare_read"] = import.seconds / readSeconds;
    state.counters["peak_MB"] = megabytes(import.peakBytes);
    state.counters["peak_over_file"] = checkPeak(state, import, fileBytes, "file of too many rows");
}
BENCHMARK(BM_TooManyRowsRefused)->Unit(benchmark::kMillisecond)->Iterations(1);

// A wrong header is refused before the body is parsed: a 128 MB text with a wrong header against one of
// the header alone, both already in memory. Through a file the bare read of the bytes comes on top; it is
// shown against a bare read of the same file.
void BM_WrongHeaderRefusedAtOnce(benchmark::State& state) {
    const std::string tiny = kBadHeader;
    const std::string huge = manyRows(kBadHeader, std::size_t{128} << 20);
    const TempFolder folder("sw_csv_bench_");
    const auto file = folder.path() / "huge.csv";
    sw::writeFileAtomically(file, huge);
    const auto refusalSeconds = [](const std::string& bytes) {
        double best = 1e9;
        for (int round = 0; round < 200; ++round) {
            const auto start = Clock::now();
            try {
                sw::access::readVariablesCsv(bytes, "huge.csv", 1, ',', texts());
            } catch (const sw::ConfigError&) {
            }
            best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
        }
        return best;
    };
    double hugeSeconds = 0;
    double tinySeconds = 0;
    Import fromFile;
    double readSeconds = 0;
    for (auto _ : state) {
        tinySeconds = refusalSeconds(tiny);
        hugeSeconds = refusalSeconds(huge);
        fromFile = importFile(file);
        const auto start = Clock::now();
        benchmark::DoNotOptimize(sw::readFileBytes(file, sw::csv::kFileLimit).size());
        readSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    }
    if (fromFile.error.find("\"Colour\" is not a column") == std::string::npos) {
        miss(state, "the wrong header was not refused: " + fromFile.error);
    }
    state.counters["tiny_us"] = 1e6 * tinySeconds;
    state.counters["huge_over_tiny"] = hugeSeconds / tinySeconds;
    state.counters["file_refusal_over_bare_read"] = fromFile.seconds / readSeconds;
    if (hugeSeconds / tinySeconds > 3.0) {
        miss(state, "refusing the wrong header of a 128 MB text took " +
                        std::to_string(hugeSeconds / tinySeconds) +
                        " times as long as that of the header alone");
    }
}
BENCHMARK(BM_WrongHeaderRefusedAtOnce)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const std::string& goal : g_missedGoals) {
        std::cerr << "Goal missed: " << goal << '\n';
    }
    return g_missedGoals.empty() ? 0 : 1;
}
