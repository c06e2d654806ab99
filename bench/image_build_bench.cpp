// Building the device images from a large access list, against a bare parse of the same file.
#include "core/common/atomic_file.h"
#include "core/image/image_builder.h"
#include "core/image/parameter_block.h"
#include "core/image/variable_image.h"
#include "core/xml/xml_baseline.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <random>
#include <string>

namespace {

constexpr int kMembers = 20;

// An access file as the access editor writes it: raw, one line, every attribute present.
std::string generatedAccessFile(int variables, int dataSets) {
    std::string xml = "<IEC_68850_Client><List_ICD_Files><ICD_File Name=\"IED1\" FileName=\"ied1.icd\"/>"
                      "</List_ICD_Files><List_DA_Selected>";
    for (int i = 0; i < variables; ++i) {
        const std::string n = std::to_string(i);
        xml += "<DA_Item Index=\"0\" bType=\"FLOAT32\" fc=\"MX\" Reference=\"IED1MEAS/MMXU" + n +
               ".TotW.mag.f\" IPAddress=\"192.168.2." + std::to_string(i % 250) +
               "\" Port=\"102\" OnChange=\"N\" OnCMD=\"N\" OnTimer=\"Y\" Time=\"1000\" Position=\"" +
               std::to_string(i % 1400) +
               "\" StartBit=\"0\" ReadWrite=\"Read\" Convertion=\"ItoF/FtoI\" MoltFact=\"0,1\" "
               "Mnemonic=\"power " +
               n + "\"/>";
    }
    xml += "</List_DA_Selected><List_DataSet_Selected>";
    for (int d = 0; d < dataSets; ++d) {
        const std::string n = std::to_string(d);
        xml += "<DataSet_Item Index=\"0\" Reference=\"IED1CTRL/LLN0.DataSet" + n + "\" GooseName=\"Goose" +
               n +
               "\" EnGoose=\"Y\" IPAddress=\"192.168.3.1\" Port=\"102\" Time=\"1000\" "
               "Mnemonic=\"\"><DataSet_List_DAs>";
        for (int m = 0; m < kMembers; ++m) {
            xml += "<DataSet_DA_Item bType=\"BOOLEAN\" Reference=\"IED1CTRL/GGIO" + n + ".Ind" +
                   std::to_string(m) + ".stVal\" Position=\"" + std::to_string((d * kMembers + m) % 1400) +
                   "\" StartBit=\"0\" Convertion=\"None\" MoltFact=\"1\" Mnemonic=\"\"/>";
        }
        xml += "</DataSet_List_DAs></DataSet_Item>";
    }
    return xml + "</List_DataSet_Selected></IEC_68850_Client><!--SW_VERSION = 1.000-->";
}

class TempProject {
public:
    TempProject(int variables, int dataSets) {
        std::random_device random;
        m_folder = std::filesystem::temp_directory_path() / ("sw_image_bench_" + std::to_string(random()));
        std::filesystem::create_directories(m_folder);
        std::ofstream(m_folder / "IEC_61850_Client.xml", std::ios::binary)
            << generatedAccessFile(variables, dataSets);
    }
    ~TempProject() {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    std::filesystem::path accessFile() const { return m_folder / "IEC_61850_Client.xml"; }
    std::filesystem::path absentParGen() const { return m_folder / "ParGen.xml"; }

private:
    std::filesystem::path m_folder;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The build driver's steps, except that the variable image may exceed the device's limit: a list of
// this size takes about 1.4 MB, which the driver rightly refuses after doing all the reading and layout.
sw::BuildResult buildWithoutSizeLimit(const TempProject& project) {
    sw::image::ParameterBlock block;
    sw::image::VariableImage client;
    block.setDefaultParameters();
    client.clear();
    block.loadParameterFile(project.absentParGen(), client);
    block.storeImageAddress(sw::Image_Base);
    client.loadAccessList(project.accessFile(), sw::Image_Base, ',');
    sw::BuildResult result;
    result.bank2.resize(client.writeImage(0, result.bank2, SIZE_MAX));
    result.bank1.resize(block.writeParameterBlock(0, result.bank1));
    return result;
}

// Each iteration times the bare parse and the whole build of the same file back to back, so the
// ratio does not depend on the machine's speed; the goal is a build of at most three bare parses. The
// bare parse plus one visit of every attribute is measured beside it, as the least any reader of the
// tree costs.
void BM_BuildImagesVersusBareParse(benchmark::State& state) {
    // Both sides allocate megabytes per run; keeping freed memory in the process stops page faults,
    // whose cost depends on what ran just before, from deciding the ratio.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    const TempProject project(10000, 500);
    double parseSeconds = 0;
    double buildSeconds = 0;
    double visitSeconds = 0;
    std::size_t bank2Size = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        sw::xml::baseline::parse(sw::readFileBytes(project.accessFile(), sw::limits::kAccessFile));
        parseSeconds += secondsSince(start);
        start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(sw::xml::baseline::parseAndVisit(
            sw::readFileBytes(project.accessFile(), sw::limits::kAccessFile)));
        visitSeconds += secondsSince(start);

        start = std::chrono::steady_clock::now();
        const sw::BuildResult images = buildWithoutSizeLimit(project);
        buildSeconds += secondsSince(start);
        bank2Size = images.bank2.size();
        benchmark::DoNotOptimize(images.bank2.data());
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["parse_ms"] = 1000 * parseSeconds / iterations;
    state.counters["build_ms"] = 1000 * buildSeconds / iterations;
    state.counters["parse_visit_ms"] = 1000 * visitSeconds / iterations;
    state.counters["build_over_parse"] = buildSeconds / parseSeconds;
    // What any reader of the tree costs at least, for judging the ratio above.
    state.counters["parse_visit_over_parse"] = visitSeconds / parseSeconds;
    state.counters["bank2_bytes"] = static_cast<double>(bank2Size);
}
BENCHMARK(BM_BuildImagesVersusBareParse)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// A list of 50 000 variables and 2 500 data sets against one of half that size: the build must grow no
// faster than the list (a ratio of about 2).
void BM_BuildFiftyThousandRowsVersusHalf(benchmark::State& state) {
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    const TempProject half(25000, 1250);
    const TempProject full(50000, 2500);
    double halfSeconds = 0;
    double fullSeconds = 0;
    double parseSeconds = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(buildWithoutSizeLimit(half).bank2.size());
        halfSeconds += secondsSince(start);
        start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(buildWithoutSizeLimit(full).bank2.size());
        fullSeconds += secondsSince(start);
        start = std::chrono::steady_clock::now();
        sw::xml::baseline::parse(sw::readFileBytes(full.accessFile(), sw::limits::kAccessFile));
        parseSeconds += secondsSince(start);
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["file_MB"] =
        static_cast<double>(std::filesystem::file_size(full.accessFile())) / 1048576.0;
    state.counters["build_ms"] = 1000 * fullSeconds / iterations;
    state.counters["full_over_half"] = fullSeconds / halfSeconds;
    state.counters["build_over_parse"] = fullSeconds / parseSeconds;
}
BENCHMARK(BM_BuildFiftyThousandRowsVersusHalf)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
