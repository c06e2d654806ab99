// The access editor window on a project whose catalog holds one big generated ICD: the time from showing
// the editor and choosing the device to a painted tree, against loading the same file into a device
// model alone, in the same run. Then the cost of opening a node of that tree against opening a node
// with as many children in the tree of a small device: the tree works on demand, so the size of the
// rest of the device must not count.

#include "scl_file_generator.h"

#include "core/language/builtin_texts.h"
#include "core/scl/scl_model.h"
#include "core/shell/program_state.h"
#include "gui/access/access_editor_window.h"
#include "gui/access/scl_tree_model.h"

#include <QApplication>
#include <QListWidget>
#include <QTreeView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

// A folder of its own under the system's temporary folder, removed at the end.
struct TempFolder {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("sw-access-window-bench-" + std::to_string(::getpid()));
    TempFolder() { std::filesystem::create_directories(path); }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path operator/(const char* name) const { return path / name; }
};

using Clock = std::chrono::steady_clock;

// Keeps the measured work from being optimised away.
volatile std::size_t g_sink = 0;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void writeFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary);
    out << bytes;
}

// A project folder whose access file names one catalog file.
std::filesystem::path makeProject(const std::filesystem::path& folder, const std::string& icd) {
    std::filesystem::create_directories(folder / "ICD_Catalog");
    writeFile(folder / "ICD_Catalog" / "big.icd", icd);
    writeFile(folder / "IEC_61850_Client.xml",
              "<IEC_68850_Client><List_ICD_Files><ICD_File FileName=\"big.icd\"/>"
              "</List_ICD_Files></IEC_68850_Client>");
    return folder / "ICD_Catalog" / "big.icd";
}

// Showing the editor, waiting for its catalog, choosing the device and painting the tree.
double showTree(sw::ProgramState& state) {
    sw::gui::AccessEditorWindow dialog(state);
    const auto start = Clock::now();
    dialog.show();
    while (dialog.isLoading()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    dialog.deviceList->setCurrentRow(0);
    dialog.deviceTree->viewport()->repaint();
    const double seconds = secondsSince(start);
    if (dialog.treeModel()->rowCount() != 1) {
        std::fprintf(stderr, "the tree shows no device\n");
        std::exit(1);
    }
    dialog.hide();
    return seconds;
}

// Mean time the model alone takes to give a view what opening a data object needs (its children, their
// texts, pictures and whether they open further), over the same nodes as expandEach.
double modelWorkEach(const sw::SclIed& device) {
    sw::gui::SclTreeModel model;
    model.setDevice(&device);
    const QModelIndex root = model.index(0, 0);
    int opened = 0;
    double total = 0;
    for (int ld = 0; ld < model.rowCount(root); ++ld) {
        const QModelIndex ln = model.index(0, 0, model.index(ld, 0, root));
        for (int d = 0; d < model.rowCount(ln); ++d) {
            const auto start = Clock::now();
            const QModelIndex dataObject = model.index(d, 0, ln);
            std::size_t seen = 0;
            for (int c = 0; c < model.rowCount(dataObject); ++c) {
                const QModelIndex child = model.index(c, 0, dataObject);
                seen += static_cast<std::size_t>(model.data(child).toString().size());
                seen += model.data(child, Qt::DecorationRole).isValid() ? 1u : 0u;
                seen += model.hasChildren(child) ? 1u : 0u;
                seen += model.parent(child) == dataObject ? 1u : 0u;
            }
            total += secondsSince(start);
            g_sink = g_sink + seen;
            ++opened;
        }
    }
    return opened > 0 ? total / opened : 0;
}

// Mean time to open, lay out and paint one data object, over every data object under the first
// logical node of each logical device, in a shown tree of the given device.
double expandEach(const sw::SclIed& device, int& opened, std::size_t& children) {
    QTreeView view;
    sw::gui::SclTreeModel model;
    view.setUniformRowHeights(true);
    view.setModel(&model);
    view.resize(600, 800);
    view.show();
    model.setDevice(&device);
    const QModelIndex root = model.index(0, 0);
    view.expand(root);
    for (int ld = 0; ld < model.rowCount(root); ++ld) {
        const QModelIndex ldIndex = model.index(ld, 0, root);
        view.expand(ldIndex);
        for (int ln = 0; ln < model.rowCount(ldIndex); ++ln) {
            view.expand(model.index(ln, 0, ldIndex));
        }
    }
    view.viewport()->repaint();
    opened = 0;
    children = 0;
    double total = 0;
    for (int ld = 0; ld < model.rowCount(root); ++ld) {
        const QModelIndex ln = model.index(0, 0, model.index(ld, 0, root));
        for (int d = 0; d < model.rowCount(ln); ++d) {
            const QModelIndex dataObject = model.index(d, 0, ln);
            view.scrollTo(dataObject, QAbstractItemView::PositionAtTop);
            view.viewport()->repaint();
            const auto start = Clock::now();
            view.expand(dataObject);
            view.viewport()->repaint();
            total += secondsSince(start);
            children += static_cast<std::size_t>(model.rowCount(dataObject));
            ++opened;
            view.collapse(dataObject);
        }
    }
    return opened > 0 ? total / opened : 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TempFolder dir;

    const std::string icd = sw::bench::generateIcd(sw::bench::IcdShape{});
    const std::filesystem::path file = makeProject(dir / "big", icd);
    sw::ProgramState state;
    sw::fillBuiltinTexts(state.texts);
    state.session.activeProjectFolder = dir / "big";
    std::printf("ICD: %.1f MB\n", static_cast<double>(icd.size()) / (1024.0 * 1024.0));

    constexpr int kRuns = 3;
    double load = 1e9;
    double shown = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        auto start = Clock::now();
        {
            const sw::SclIed device(file);
            load = std::min(load, secondsSince(start));
        }
        shown = std::min(shown, showTree(state));
    }
    std::printf("model load alone          %8.3f s\n", load);
    std::printf("editor shown, tree drawn  %8.3f s   ratio %.2f (goal <= 1.20)\n", shown, shown / load);

    sw::bench::IcdShape small;
    small.lDevices = 4;
    small.nodesPerDevice = 3;
    small.typeVariants = 4;
    const std::filesystem::path smallFile = makeProject(dir / "small", sw::bench::generateIcd(small));
    const sw::SclIed big(file);
    const sw::SclIed little(smallFile);
    int bigOpened = 0;
    int smallOpened = 0;
    std::size_t bigChildren = 0;
    std::size_t smallChildren = 0;
    const double bigExpand = expandEach(big, bigOpened, bigChildren);
    const double smallExpand = expandEach(little, smallOpened, smallChildren);
    std::printf("open a node, %7zu objects: %8.1f us (%d nodes, %.1f children each)\n", big.objectCount(),
                bigExpand * 1e6, bigOpened, static_cast<double>(bigChildren) / std::max(bigOpened, 1));
    std::printf("open a node, %7zu objects: %8.1f us (%d nodes, %.1f children each)   ratio %.2f\n",
                little.objectCount(), smallExpand * 1e6, smallOpened,
                static_cast<double>(smallChildren) / std::max(smallOpened, 1), bigExpand / smallExpand);
    const double bigModel = modelWorkEach(big);
    const double smallModel = modelWorkEach(little);
    std::printf("model work of opening a node, big device %.2f us, small device %.2f us   ratio %.2f\n",
                bigModel * 1e6, smallModel * 1e6, bigModel / smallModel);
    return 0;
}
