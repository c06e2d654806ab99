// Opening the access editor on a large access list and confirming it with OK, against a bare parse of the
// same access file.
#include "core/access/access_editor.h"
#include "core/common/atomic_file.h"
#include "core/project/project_paths.h"
#include "core/scl/scl_model.h"
#include "core/xml/xml_baseline.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <random>
#include <string>

namespace {

constexpr int kVariables = 10000;
constexpr int kDataSets = 500;
constexpr int kMembers = 20;

// One IED whose LLN0 holds every data set, each listing Ind0..Ind19 of a GGIO node; members resolve in
// the first node of their class, GGIO0, which is where every member setting of the access file finds its
// member again at opening.
std::string generatedIcd() {
    std::string scl = R"(<SCL><IED name="IED1"><AccessPoint name="AP"><Server><LDevice inst="CTRL">)"
                      R"(<LN0 lnClass="LLN0" lnType="L0">)";
    for (int d = 0; d < kDataSets; ++d) {
        scl += "<DataSet name=\"DataSet" + std::to_string(d) + "\">";
        for (int m = 0; m < kMembers; ++m) {
            scl += R"(<FCDA ldInst="CTRL" lnClass="GGIO" lnInst=")" + std::to_string(d) + R"(" doName="Ind)" +
                   std::to_string(m) + R"(" daName="stVal" fc="ST"/>)";
        }
        scl += "</DataSet><GSEControl name=\"Goose" + std::to_string(d) + "\" datSet=\"DataSet" +
               std::to_string(d) + "\"/>";
    }
    scl += "</LN0>";
    for (int d = 0; d < kDataSets; ++d) {
        scl += R"(<LN lnClass="GGIO" inst=")" + std::to_string(d) + R"(" lnType="G"/>)";
    }
    scl += R"(</LDevice></Server></AccessPoint></IED><DataTypeTemplates><LNodeType id="L0" lnClass="LLN0"/>)"
           R"(<LNodeType id="G" lnClass="GGIO">)";
    for (int m = 0; m < kMembers; ++m) {
        scl += "<DO name=\"Ind" + std::to_string(m) + "\" type=\"S\"/>";
    }
    return scl + R"(</LNodeType><DOType id="S"><DA name="stVal" bType="BOOLEAN" fc="ST"/>)"
                 R"(<DA name="q" bType="Quality" fc="ST"/></DOType></DataTypeTemplates></SCL>)";
}

// An access file as the editor writes it: every attribute present, one line.
std::string generatedAccessFile() {
    std::string xml = "<IEC_68850_Client><List_ICD_Files><ICD_File Name=\"IED1\" FileName=\"ied1.icd\"/>"
                      "</List_ICD_Files><List_DA_Selected>";
    for (int i = 0; i < kVariables; ++i) {
        const std::string n = std::to_string(i);
        xml += "<DA_Item Index=\"0\" bType=\"BOOLEAN\" fc=\"ST\" Reference=\"IED1CTRL/GGIO" +
               std::to_string(i % kDataSets) + ".Ind" + std::to_string(i % kMembers) +
               ".stVal\" IPAddress=\"192.168.2." + std::to_string(i % 250) +
               "\" Port=\"102\" OnChange=\"N\" OnCMD=\"N\" OnTimer=\"Y\" Time=\"1000\" Position=\"" +
               std::to_string(i % 1400) +
               "\" StartBit=\"0\" ReadWrite=\"Read\" Convertion=\"ItoF/FtoI\" MoltFact=\"0,1\" "
               "Mnemonic=\"point " +
               n + "\"/>";
    }
    xml += "</List_DA_Selected><List_DataSet_Selected>";
    for (int d = 0; d < kDataSets; ++d) {
        const std::string n = std::to_string(d);
        xml += "<DataSet_Item Index=\"0\" Reference=\"IED1CTRL/LLN0.DataSet" + n + "\" GooseName=\"Goose" +
               n +
               "\" EnGoose=\"Y\" IPAddress=\"192.168.3.1\" Port=\"102\" Time=\"1000\" Mnemonic=\"\">"
               "<DataSet_List_DAs>";
        for (int m = 0; m < kMembers; ++m) {
            xml += "<DataSet_DA_Item bType=\"BOOLEAN\" Reference=\"IED1CTRL/GGIO0.Ind" + std::to_string(m) +
                   ".stVal\" Position=\"" + std::to_string((d * kMembers + m) % 1400) +
                   "\" StartBit=\"0\" Convertion=\"None\" MoltFact=\"1\" Mnemonic=\"\"/>";
        }
        xml += "</DataSet_List_DAs></DataSet_Item>";
    }
    return xml + "</List_DataSet_Selected></IEC_68850_Client><!--SW_VERSION = 1.000-->";
}

class TempProject {
public:
    TempProject() {
        std::random_device random;
        m_paths = sw::ProjectPaths(std::filesystem::temp_directory_path() /
                                   ("sw_access_bench_" + std::to_string(random())));
        std::filesystem::create_directories(m_paths.icdCatalog());
        std::ofstream(m_paths.icdCatalog() / "ied1.icd", std::ios::binary) << generatedIcd();
        std::ofstream(m_paths.accessFile(), std::ios::binary) << generatedAccessFile();
    }
    ~TempProject() {
        std::error_code ignored;
        std::filesystem::remove_all(m_paths.folder(), ignored);
    }
    const sw::ProjectPaths& paths() const { return m_paths; }

private:
    sw::ProjectPaths m_paths;
};

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each iteration times the bare parse and the editor's open + OK on the same file back to back, so the
// ratio does not depend on the machine's speed; the goal is at most three bare parses. The opening
// includes loading the catalog's ICD file; its load alone is reported beside it.
void BM_OpenAndSaveVersusBareParse(benchmark::State& state) {
    // Both sides allocate megabytes per run; keeping freed memory in the process stops page faults,
    // whose cost depends on what ran just before, from deciding the ratio.
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    const TempProject project;
    const sw::ProjectPaths& paths = project.paths();
    sw::access::AccessEditor editor;
    if (!editor.open(paths).droppedMembers.empty() || editor.list().dataSets().size() != kDataSets) {
        state.SkipWithError("the generated data sets were not found again");
        return;
    }
    double parseSeconds = 0;
    double editorSeconds = 0;
    double icdSeconds = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        sw::xml::baseline::parse(sw::readFileBytes(paths.accessFile(), sw::limits::kAccessFile));
        parseSeconds += secondsSince(start);

        start = std::chrono::steady_clock::now();
        editor.open(paths);
        editor.save(paths.accessFile());
        editorSeconds += secondsSince(start);

        start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(sw::SclIed(paths.icdCatalog() / "ied1.icd").objectCount());
        icdSeconds += secondsSince(start);
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["parse_ms"] = 1000 * parseSeconds / iterations;
    state.counters["open_save_ms"] = 1000 * editorSeconds / iterations;
    state.counters["icd_load_ms"] = 1000 * icdSeconds / iterations;
    state.counters["open_save_over_parse"] = editorSeconds / parseSeconds;
    // The same without the ICD load, which grows with the catalog rather than with the access file.
    state.counters["open_save_without_icd_over_parse"] = (editorSeconds - icdSeconds) / parseSeconds;
    state.counters["access_file_bytes"] = static_cast<double>(std::filesystem::file_size(paths.accessFile()));
}
BENCHMARK(BM_OpenAndSaveVersusBareParse)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
