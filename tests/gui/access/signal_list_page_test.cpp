#include "core/access/access_file.h"
#include "core/language/builtin_texts.h"
#include "core/parameters/parameter_file.h"
#include "core/project/project_paths.h"
#include "gui/access/access_editor_window.h"
#include "gui/access/access_table_models.h"
#include "gui/access/data_array_map_view.h"
#include "gui/access/signal_list_page.h"
#include "support/gui/fake_file_chooser.h"
#include "support/gui/fake_message_service.h"
#include "test_project.h"
#include "test_support.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <filesystem>
#include <string>

using sw::gui::AccessEditorWindow;
using sw::test::FakeFileChooser;
using sw::test::FakeMessageService;
namespace VC = sw::access;

using Answer = sw::gui::MessageService::Answer;

namespace {

const std::filesystem::path kFixtures = SW_FIXTURES_DIR;

VC::VariableRow variable(const char* reference, const char* position, const char* mnemonic) {
    VC::VariableRow row;
    row.cells = {"0", "FLOAT32", "MX",     reference, "10.0.0.5", "102",  "N", "N",
                 "N", "",        position, "",        "Read",     "None", "1", mnemonic};
    row.present.set();
    return row;
}

// An active project with bay1.icd in its catalog and three read variables on positions 10, 11 and 12.
struct Project : sw::test::TestProject {
    Project() {
        std::filesystem::create_directories(paths.icdCatalog());
        std::filesystem::copy_file(kFixtures / "scl" / "bay1.icd", paths.icdCatalog() / "bay1.icd");
        VC::AccessFile access;
        access.catalog.resize(1);
        access.catalog[0].cells = {"Bay1", "bay1.icd"};
        access.catalog[0].present.set();
        access.variables = {variable("Bay1CTRL/MMXU1.TotW.mag.f", "10", "a"),
                            variable("Bay1CTRL/MMXU1.A.cVal.mag.f", "11", "b"),
                            variable("Bay1CTRL/MMXU1.Hz.mag.f", "12", "c")};
        sw::test::writeFile(paths.accessFile(), VC::accessFileBytes(access));
    }
};

void showLoaded(AccessEditorWindow& dialog) {
    dialog.show();
    QTRY_VERIFY(!dialog.isLoading());
}

QString cell(const QTableView* view, int row, std::size_t column) {
    return view->model()->index(row, static_cast<int>(column)).data().toString();
}

} // namespace

class SignalListPageTest : public QObject {
    Q_OBJECT
private slots:
    void mapFollowsEditsAndAClickShowsTheConflictingRow() {
        Project project;
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);
        dialog.pages->setCurrentWidget(dialog.mapPage);
        sw::gui::DataArrayMapView* map = dialog.mapPage->mapView();
        QCOMPARE(map->map().use(10), VC::CellUse::Read);
        QCOMPARE(map->map().use(13), VC::CellUse::Free);

        // Row 3 moves onto position 10: both rows read into one place.
        // The view leaves out "N": its column of an attribute is the attribute's enumerator.
        const QModelIndex position =
            dialog.variablesTable->model()->index(2, static_cast<int>(VC::VariableColumn::Position));
        QVERIFY(dialog.variablesTable->model()->setData(position, QStringLiteral("10")));
        QTRY_COMPARE(map->map().use(10), VC::CellUse::Conflict);
        QCOMPARE(map->map().use(12), VC::CellUse::Free);
        QVERIFY(dialog.mapPage->mapSummaryLabel->text().contains(QStringLiteral("1 with a conflict")));
        QCOMPARE(map->positionAt(map->cellRect(10).center()), std::optional<std::size_t>(10));

        QTest::mouseClick(map, Qt::LeftButton, {}, map->cellRect(10).center());
        QCOMPARE(dialog.pages->currentWidget(), dialog.variablesPage);
        QCOMPARE(dialog.variablesTable->currentIndex().row(), 0);
    }

    void checkListsWarningsAndOkStillSaves() {
        Project project;
        FakeMessageService messages;
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);
        dialog.editor().list().setVariableCell(2, VC::tableColumn(VC::VariableColumn::Position), "10");
        dialog.editor().list().setVariableCell(3, VC::tableColumn(VC::VariableColumn::Index), "4");

        sw::ParameterSet parameters;
        parameters.IEC61850_Client_VLAN = "5000";
        sw::writeParameterFile(project.paths.parGenFile(), parameters);

        dialog.checkButton->click();
        QCOMPARE(dialog.pages->currentWidget(), dialog.mapPage);
        QListWidget* warnings = dialog.mapPage->warnings();
        QCOMPARE(warnings->count(), 4);
        // What OK would refuse comes first, worded as OK words it; a click leads to its row.
        QCOMPARE(warnings->item(0)->text(),
                 QStringLiteral("Error row 3!! Index \"4\" names no device of the catalog (0 to 0)"));
        emit warnings->itemActivated(warnings->item(0));
        QCOMPARE(dialog.pages->currentWidget(), dialog.variablesPage);
        QCOMPARE(dialog.variablesTable->currentIndex().row(), 2);
        // Then the communication parameters; their line leads to no row.
        dialog.pages->setCurrentWidget(dialog.mapPage);
        QCOMPARE(warnings->item(1)->text(), QStringLiteral("Communication parameters: the VLAN index 5000 is "
                                                           "above 4095, which no VLAN tag can carry"));
        emit warnings->itemActivated(warnings->item(1));
        QCOMPARE(dialog.pages->currentWidget(), dialog.mapPage);
        emit warnings->itemActivated(warnings->item(3));
        QCOMPARE(dialog.variablesTable->currentIndex().row(), 1);

        // OK stops on the error and shows its cell.
        dialog.okButton->click();
        QCOMPARE(messages.shown.size(), std::size_t{1});
        QCOMPARE(messages.shown[0].text,
                 QStringLiteral("Error row 3!! Index \"4\" names no device of the catalog (0 to 0)"));
        QCOMPARE(dialog.pages->currentWidget(), dialog.variablesPage);
        QCOMPARE(dialog.variablesTable->currentIndex().row(), 2);
        QCOMPARE(dialog.variablesTable->currentIndex().column(), int(VC::VariableColumn::Index));
        messages.shown.clear();

        // Lint's warnings do not stop OK; the collision on position 10 is shown and saved when confirmed.
        dialog.editor().list().setVariableCell(3, VC::tableColumn(VC::VariableColumn::Index), "0");
        messages.answers = {Answer::Yes};
        dialog.okButton->click();
        QCOMPARE(messages.shown.size(), std::size_t{1});
        QVERIFY(messages.shown[0].text.contains(QStringLiteral("position 10: ")));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(VC::readAccessFile(project.paths.accessFile()).variables[1][VC::VariableColumn::Position] ==
                "10");
    }

    void exportThenImportAndABadCellChangesNothing() {
        Project project;
        FakeMessageService messages;
        FakeFileChooser chooser;
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);
        const std::filesystem::path csv = project.dir / "signals.csv";
        // Typed without an extension: the file gets the one its type says.
        chooser.files.push_back(QString::fromStdString((project.dir / "signals").string()));
        dialog.exportButton->click();
        // Offered first: the project's name, in its folder.
        const std::filesystem::path folder = project.state.session.activeProjectFolder;
        QCOMPARE(chooser.proposedFile,
                 QString::fromStdString((folder / folder.filename()).string() + ".csv"));
        QVERIFY(std::filesystem::exists(csv));
        QVERIFY(std::filesystem::exists(project.dir / "signals.datasets.csv"));
        QCOMPARE(messages.shown.size(), std::size_t{1});

        // A bad port in row 2: refused by row and column, the table as it was.
        std::string bytes = sw::test::readFile(csv);
        const std::string before = "10.0.0.5,102,N,N,N,,11,";
        bytes.replace(bytes.find(before), before.size(), "10.0.0.5,70000,N,N,N,,11,");
        sw::test::writeFile(csv, bytes);
        dialog.editor().list().setVariableCell(1, VC::tableColumn(VC::VariableColumn::Mnemonic), "changed");
        chooser.files.push_back(QString::fromStdString(csv.string()));
        dialog.importButton->click();
        QTRY_VERIFY(!dialog.busy()); // read off the interface thread
        QCOMPARE(messages.shown.size(), std::size_t{2});
        QVERIFY(messages.shown[1].text.contains(
            QStringLiteral("Error row 2!! Port must be between 0 and 65535")));
        QVERIFY(messages.shown[1].text.contains(QStringLiteral("column \"Port\"")));
        QCOMPARE(cell(dialog.variablesTable, 0, VC::VariableColumn::Mnemonic), QStringLiteral("changed"));

        // The exported file itself comes back in place of the edit.
        bytes.replace(bytes.find("70000"), 5, "102");
        sw::test::writeFile(csv, bytes);
        chooser.files.push_back(QString::fromStdString(csv.string()));
        dialog.importButton->click();
        QTRY_VERIFY(!dialog.busy());
        QCOMPARE(messages.shown.size(), std::size_t{2});
        QCOMPARE(cell(dialog.variablesTable, 0, VC::VariableColumn::Mnemonic), QStringLiteral("a"));
        QCOMPARE(dialog.variablesTable->model()->rowCount(), 3);
    }
};

QTEST_MAIN(SignalListPageTest)
#include "signal_list_page_test.moc"
