#include "core/access/access_file.h"
#include "core/language/builtin_texts.h"
#include "core/project/project_paths.h"
#include "gui/access/access_editor_window.h"
#include "gui/access/access_table_models.h"
#include "gui/access/data_array_map_view.h"
#include "gui/access/live_check_panel.h"
#include "gui/access/row_status.h"
#include "gui/access/signal_list_page.h"
#include "mms_server_double.h"
#include "test_project.h"
#include "test_support.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <chrono>
#include <string>

using sw::gui::AccessEditorWindow;
using sw::gui::RowStatus;
using sw::test::MmsServerDouble;
namespace VC = sw::access;

namespace {

VC::VariableRow variable(const std::string& reference, unsigned short port, const char* position,
                         const std::string& bType = "BOOLEAN", const std::string& address = "127.0.0.1") {
    VC::VariableRow row;
    row.cells = {"0", bType,  "ST",   reference, address, std::to_string(port), "N", "N", "N", "", position,
                 "",  "Read", "None", "1",       ""};
    row.present.set();
    return row;
}

// An active project whose variables name one attribute the server holds (row 1, position 10) and one it
// lacks (row 2, position 11), both on the server at `port` of 127.0.0.1 unless row 2 names another.
struct Project : sw::test::TestProject {
    explicit Project(unsigned short port, unsigned short secondPort = 0) {
        VC::AccessFile access;
        access.variables = {variable("IED1LD0/GGIO1.Ind1.stVal", port, "10"),
                            variable("IED1LD0/GGIO1.Ind2.stVal", secondPort ? secondPort : port, "11")};
        sw::test::writeFile(paths.accessFile(), VC::accessFileBytes(access));
    }
};

MmsServerDouble::Model oneAttribute() {
    MmsServerDouble::Model model;
    model.add("IED1LD0", "GGIO1$ST$Ind1$stVal", MmsServerDouble::boolean(true));
    return model;
}

RowStatus status(const QTableView* view, int row) {
    return static_cast<RowStatus>(
        view->model()->headerData(row, Qt::Vertical, sw::gui::kRowStatusRole).toInt());
}

QString hover(const QTableView* view, int row) {
    return view->model()->headerData(row, Qt::Vertical, Qt::ToolTipRole).toString();
}

void showLoaded(AccessEditorWindow& dialog) {
    dialog.show();
    QTRY_VERIFY(!dialog.isLoading());
}

} // namespace

class LiveCheckTest : public QObject {
    Q_OBJECT
private slots:
    void marksEachRowWithWhatItsServerHoldsAndDropsTheMarkOfAnEditedRow() {
        MmsServerDouble server(oneAttribute());
        Project project(server.port());
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);
        QCOMPARE(dialog.variablesTable->model()->rowCount(), 2);
        QCOMPARE(status(dialog.variablesTable, 0), RowStatus::None);

        dialog.liveCheckPanel->liveCheckButton->click();
        QVERIFY(dialog.liveCheckPanel->isRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.liveCheckPanel->isRunning(), 10000);
        QCOMPARE(status(dialog.variablesTable, 0), RowStatus::Ok);
        QCOMPARE(hover(dialog.variablesTable, 0), QStringLiteral("var 1 ok true"));
        QCOMPARE(status(dialog.variablesTable, 1), RowStatus::Failed);
        QCOMPARE(hover(dialog.variablesTable, 1), QStringLiteral("var 2 missing"));
        QVERIFY(dialog.liveCheckPanel->liveCheckProgress->isHidden());

        // The map's hover text carries the finding of each row on the position.
        dialog.mapPage->refresh();
        const sw::gui::DataArrayMapView* map = dialog.mapPage->mapView();
        QVERIFY2(map->hoverText(10).endsWith(QStringLiteral("Live check:\nvar 1 ok true")),
                 qPrintable(map->hoverText(10)));
        QVERIFY(map->hoverText(11).endsWith(QStringLiteral("var 2 missing")));
        QVERIFY(!map->hoverText(12).contains(QStringLiteral("Live check")));

        // A row that names another server now no longer shows what the old one held; the other keeps its
        // mark.
        const QModelIndex port =
            dialog.variablesTable->model()->index(1, static_cast<int>(VC::VariableColumn::Port));
        QVERIFY(dialog.variablesTable->model()->setData(port, QStringLiteral("1")));
        QCOMPARE(status(dialog.variablesTable, 1), RowStatus::None);
        QCOMPARE(status(dialog.variablesTable, 0), RowStatus::Ok);
        QVERIFY(!map->hoverText(11).contains(QStringLiteral("Live check")));
        QCOMPARE(server.associations(), 1u);
    }

    void showsTheProgressOfServersCheckedAtOnce() {
        // The answering server is done while the silent one still holds its association open.
        MmsServerDouble server(oneAttribute());
        MmsServerDouble::Options options;
        options.behaviour = MmsServerDouble::Behaviour::Silent;
        MmsServerDouble silent(oneAttribute(), options);
        Project project(server.port(), silent.port());
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);
        sw::live::LiveCheckOptions check;
        check.timeouts.request = std::chrono::milliseconds(1500);
        dialog.liveCheckPanel->setOptions(check);

        dialog.liveCheckPanel->liveCheckButton->click();
        QTRY_COMPARE_WITH_TIMEOUT(dialog.liveCheckPanel->liveCheckProgress->value(), 1, 10000);
        QVERIFY(dialog.liveCheckPanel->isRunning());
        QVERIFY(dialog.liveCheckPanel->liveCheckProgress->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.liveCheckPanel->isRunning(), 10000);
        QCOMPARE(status(dialog.variablesTable, 0), RowStatus::Ok);
        QCOMPARE(status(dialog.variablesTable, 1), RowStatus::Unreachable);
    }

    void simulatesTheCatalogDevicesWhenAsked() {
        // The row's address is nobody's: only the simulated device of its logical device is asked.
        sw::test::TestProject project;
        project.addFixtureFiles();
        VC::AccessFile access;
        VC::CatalogRow item;
        item.cells = {"Bay1", "bay1.icd", "Bay1"};
        item.present.set();
        access.catalog = {item};
        access.variables = {variable("Bay1CTRL/Q0XCBR1.Pos.stVal", 102, "10", "Dbpos", "10.0.0.5"),
                            variable("Bay1CTRL/Q0XCBR1.Pos.stNone", 102, "11", "BOOLEAN", "10.0.0.5")};
        sw::test::writeFile(project.paths.accessFile(), VC::accessFileBytes(access));
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);
        QCOMPARE(dialog.liveCheckPanel->liveSimulateBox->text(), QStringLiteral("Simulate devices"));

        dialog.liveCheckPanel->liveSimulateBox->setChecked(true);
        dialog.liveCheckPanel->liveCheckButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.liveCheckPanel->isRunning(), 10000);
        QCOMPARE(status(dialog.variablesTable, 0), RowStatus::Ok);
        QCOMPARE(hover(dialog.variablesTable, 0), QStringLiteral("var 1 ok 00"));
        QCOMPARE(status(dialog.variablesTable, 1), RowStatus::Failed);
        QCOMPARE(hover(dialog.variablesTable, 1), QStringLiteral("var 2 missing"));

        // Turned off, the findings against the simulation go.
        dialog.liveCheckPanel->liveSimulateBox->setChecked(false);
        QCOMPARE(status(dialog.variablesTable, 0), RowStatus::None);
    }

    void closingTheDialogStopsACheckOnASilentServerAtOnce() {
        MmsServerDouble::Options options;
        options.behaviour = MmsServerDouble::Behaviour::Silent;
        MmsServerDouble server(oneAttribute(), options);
        Project project(server.port());
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);

        dialog.liveCheckPanel->liveCheckButton->click();
        QVERIFY(dialog.liveCheckPanel->isRunning());
        // The silent server holds the check for its three-second request time-out. The close returns
        // without waiting for the check's thread, which may still be about to report its end.
        QElapsedTimer closing;
        closing.start();
        dialog.cancelButton->click();
        QVERIFY2(closing.elapsed() < 2000, qPrintable(QString::number(closing.elapsed())));
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.liveCheckPanel->isRunning());
        QVERIFY(sw::gui::backgroundWorkRunning() <= std::size_t{1});
        // The stopped check's thread ends on its own and leaves no mark behind.
        QTRY_COMPARE_WITH_TIMEOUT(sw::gui::backgroundWorkRunning(), std::size_t{0}, 30000);
        QCOMPARE(status(dialog.variablesTable, 0), RowStatus::None);
    }
};

QTEST_MAIN(LiveCheckTest)
#include "live_check_test.moc"
