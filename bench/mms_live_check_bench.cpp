// The live check of 1 000 variables against one MMS server on 127.0.0.1 (the test double), against the
// same number of reads made one variable per request over one association.
#include "core/live/live_check.h"
#include "core/mms/mms_client.h"

#include "mms_server_double.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kVariables = 1000;

using sw::test::MmsServerDouble;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each iteration times the minimal loop and the check back to back, so the ratio does not depend on the
// machine's speed; the goal is at most ten times the loop. The check's time includes its connection,
// association and release, the loop's association is opened once beforehand.
void BM_LiveCheckVersusSingleReads(benchmark::State& state) {
    MmsServerDouble::Model model;
    std::vector<sw::mms::ObjectName> names;
    std::vector<sw::live::LiveRow> rows;
    for (std::size_t i = 0; i < kVariables; ++i) {
        const std::string node = "GGIO" + std::to_string(i / 100 + 1);
        const std::string object = "Ind" + std::to_string(i % 100 + 1);
        model.add("IED1LD0", node + "$ST$" + object + "$stVal", MmsServerDouble::boolean(i % 2 == 0));
        names.push_back({"IED1LD0", node + "$ST$" + object + "$stVal"});
        sw::live::LiveRow row;
        row.row = i + 1;
        row.address = "127.0.0.1";
        row.reference = "IED1LD0/" + node + "." + object + ".stVal";
        row.fc = "ST";
        row.bType = "BOOLEAN";
        rows.push_back(std::move(row));
    }
    MmsServerDouble server(std::move(model));
    for (sw::live::LiveRow& row : rows) {
        row.port = std::to_string(server.port());
    }
    sw::mms::MmsClient loop;
    loop.connect("127.0.0.1", server.port(), sw::mms::Timeouts{});
    const sw::live::LiveCheckOptions options;

    double loopSeconds = 0;
    double checkSeconds = 0;
    std::size_t readsBefore = 0;
    std::size_t checkReads = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        for (const sw::mms::ObjectName& name : names) {
            const auto result = loop.read({name});
            if (!result.value || !(*result.value)[0].value) {
                state.SkipWithError("a single read failed");
                return;
            }
        }
        loopSeconds += secondsSince(start);

        readsBefore = server.readRequests();
        start = std::chrono::steady_clock::now();
        const auto results = sw::live::runLiveCheck(rows, options);
        checkSeconds += secondsSince(start);
        checkReads = server.readRequests() - readsBefore;
        for (const auto& result : results) {
            if (result.status != sw::live::LiveStatus::Ok) {
                state.SkipWithError(
                    ("the check did not find a variable: " + sw::live::resultLine(result)).c_str());
                return;
            }
        }
    }
    loop.conclude();
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["single_reads_ms"] = 1000 * loopSeconds / iterations;
    state.counters["check_ms"] = 1000 * checkSeconds / iterations;
    state.counters["check_over_single_reads"] = checkSeconds / loopSeconds;
    state.counters["check_read_requests"] = static_cast<double>(checkReads);
}
BENCHMARK(BM_LiveCheckVersusSingleReads)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
