#include "core/access/access_file.h"
#include "core/language/builtin_texts.h"
#include "core/scl/scl_model.h"
#include "gui/access/access_editor_window.h"
#include "gui/access/ied_picker_dialog.h"
#include "gui/access/scl_tree_model.h"
#include "support/gui/fake_file_chooser.h"
#include "support/gui/fake_message_service.h"
#include "support/gui/layout_checks.h"
#include "support/gui/scripted_dialogs.h"
#include "test_project.h"
#include "test_support.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTreeView>

#include <filesystem>
#include <string>

using sw::gui::AccessEditorWindow;
namespace VC = sw::access;

namespace {

const std::filesystem::path kThree = std::filesystem::path(SW_FIXTURES_DIR) / "scl" / "three_ieds.scd";

using Project = sw::test::TestProject;

void showLoaded(AccessEditorWindow& dialog) {
    dialog.show();
    QTRY_VERIFY(!dialog.isLoading());
}

// Adds three_ieds.scd, picking the IEDs of the given rows of the picker.
void addPicking(AccessEditorWindow& dialog, const QList<int>& rows) {
    sw::test::FakeFileChooser chooser;
    chooser.files.push_back(QString::fromStdString(kThree.string()));
    sw::test::ScriptedDialogs dialogs([&](QDialog* opened) {
        auto* picker = qobject_cast<sw::gui::IedPickerDialog*>(opened);
        QVERIFY(picker != nullptr);
        QCOMPARE(picker->iedTable->rowCount(), 3);
        QCOMPARE(picker->iedTable->item(1, 4)->text(), QStringLiteral("10.0.0.22"));
        picker->iedTable->clearSelection();
        for (const int row : rows) {
            picker->iedTable->selectionModel()->select(picker->iedTable->model()->index(row, 0),
                                                       QItemSelectionModel::Select |
                                                           QItemSelectionModel::Rows);
        }
        picker->okButton->click();
    });
    dialog.addIecDeviceButton->click();
    // The file is listed and loaded off the interface thread, the picker shown in between.
    QTRY_VERIFY(!dialog.busy());
    QCOMPARE(dialogs.opened.size(), std::size_t{1});
}

QString cell(const QTableView* view, int row, int column, int role = Qt::DisplayRole) {
    return view->model()->index(row, column).data(role).toString();
}

} // namespace

class AccessIedsWindowTest : public QObject {
    Q_OBJECT
private slots:
    void pickedIedsBecomeDevicesAndFillAddressesGivesEachSelectedRowItsOwn() {
        Project project;
        sw::test::FakeMessageService messages;
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);
        addPicking(dialog, {1, 2});
        QCOMPARE(dialog.deviceList->count(), 2);
        QCOMPARE(dialog.deviceList->item(0)->text(), QStringLiteral("Feeder2"));
        QCOMPARE(dialog.deviceList->item(1)->text(), QStringLiteral("Trafo"));

        auto& editor = dialog.editor();
        for (std::size_t device : {0u, 1u, 1u}) {
            editor.chooseDevice(device);
            const sw::SclObject* leaf = editor.chosenModel();
            while (leaf->treeChildCount() > 0) {
                leaf = leaf->treeChild(0);
            }
            editor.selectTreeNode(leaf);
            dialog.addVarButton->click();
        }
        QTableView* table = dialog.variablesTable;
        QCOMPARE(table->model()->rowCount(), 3);
        table->clearSelection();
        table->selectionModel()->select(table->model()->index(0, 2), QItemSelectionModel::Select);
        table->selectionModel()->select(table->model()->index(1, 5), QItemSelectionModel::Select);
        dialog.fillAddressesButton->click();
        QCOMPARE(cell(table, 0, VC::VariableColumn::IPAddress), QStringLiteral("10.0.0.22"));
        QCOMPARE(cell(table, 0, VC::VariableColumn::Port), QStringLiteral("102"));
        QCOMPARE(cell(table, 1, VC::VariableColumn::IPAddress), QStringLiteral("10.0.1.33"));
        QCOMPARE(cell(table, 2, VC::VariableColumn::IPAddress), QString()); // not selected
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("Addresses filled in 2 rows.")});

        // Without a selection every row with an empty address is filled.
        table->clearSelection();
        dialog.fillAddressesButton->click();
        QCOMPARE(cell(table, 2, VC::VariableColumn::IPAddress), QStringLiteral("10.0.1.33"));
        QCOMPARE(messages.texts().back(), QStringLiteral("Addresses filled in 1 rows."));

        // A device the rows still use stays, and the message says which rows use it.
        dialog.deviceList->setCurrentRow(1);
        dialog.removeIecDeviceButton->click();
        QCOMPARE(dialog.deviceList->count(), 2);
        QCOMPARE(messages.texts().back(),
                 QStringLiteral("The device Trafo is still used by these rows; change or "
                                "remove them first.\nVariables rows: 2, 3"));
    }

    void thePickerShowsEveryColumnOfElevenIeds() {
        std::vector<sw::SclIedSummary> ieds(11);
        for (std::size_t k = 0; k < ieds.size(); ++k) {
            ieds[k].name = "Feeder" + std::to_string(k);
            ieds[k].desc = "Feeder protection and control unit, bay " + std::to_string(k);
            ieds[k].manufacturer = "Manufacturer";
            ieds[k].type = "Relay";
            ieds[k].ipAddress = "10.0.0." + std::to_string(k + 10);
        }
        sw::LangTable texts;
        sw::fillBuiltinTexts(texts);
        sw::gui::IedPickerDialog picker(ieds, QStringLiteral("station.scd"), texts);
        picker.show();
        QVERIFY(QTest::qWaitForWindowExposed(&picker));
        QVERIFY(picker.iedTable->horizontalHeader()->length() <= picker.iedTable->viewport()->width());
        QVERIFY(picker.iedTable->rowViewportPosition(10) + picker.iedTable->rowHeight(10) <=
                picker.iedTable->viewport()->height());
    }

    // Two IEDs of one name show their places, in the chosen language, and a line says what a device of
    // such a name stands for; a file without shared names shows neither.
    void thePickerTellsIedsOfOneNameApartByTheirPlace() {
        std::vector<sw::SclIedSummary> ieds(3);
        const char* names[] = {"Twin", "Solo", "Twin"};
        for (std::size_t k = 0; k < ieds.size(); ++k) {
            ieds[k].name = names[k];
        }
        ieds[0].sameNameCount = ieds[2].sameNameCount = 2;
        ieds[2].sameNamePosition = 2;
        sw::LangTable texts;
        sw::fillBuiltinTexts(texts);
        {
            sw::gui::IedPickerDialog picker(ieds, QStringLiteral("station.scd"), texts);
            QCOMPARE(picker.iedTable->item(0, 0)->text(), QStringLiteral("Twin (1 of 2)"));
            QCOMPARE(picker.iedTable->item(1, 0)->text(), QStringLiteral("Solo"));
            QCOMPARE(picker.iedTable->item(2, 0)->text(), QStringLiteral("Twin (2 of 2)"));
            QVERIFY(picker.findChild<QLabel*>(QStringLiteral("L_SharedNames")) != nullptr);
            picker.iedTable->selectRow(2);
            QCOMPARE(picker.pickedNames(), std::vector<std::string>{"Twin"});
        }
        sw::test::speakItalian(texts);
        sw::gui::IedPickerDialog italian(ieds, QStringLiteral("station.scd"), texts);
        QCOMPARE(italian.iedTable->item(2, 0)->text(), QStringLiteral("Twin (2 di 2)"));
        QVERIFY(italian.findChild<QLabel*>(QStringLiteral("L_SharedNames"))
                    ->text()
                    .startsWith(QStringLiteral("Più IED")));
        ieds[0].sameNameCount = ieds[2].sameNameCount = 1;
        sw::gui::IedPickerDialog plain(ieds, QStringLiteral("station.scd"), texts);
        QCOMPARE(plain.iedTable->item(2, 0)->text(), QStringLiteral("Twin"));
        QVERIFY(plain.findChild<QLabel*>(QStringLiteral("L_SharedNames")) == nullptr);
    }

    void searchFiltersTheTreeCountsMatchesAndEnterMovesBetweenThem() {
        Project project;
        sw::test::FakeMessageService messages;
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);
        addPicking(dialog, {1});
        dialog.deviceList->setCurrentRow(0);
        sw::gui::SclTreeModel* model = dialog.treeModel();
        QAbstractItemModelTester tester(model, QAbstractItemModelTester::FailureReportingMode::QtTest);

        QTest::keyClicks(dialog.treeSearchEdit, QStringLiteral("STVAL"));
        QTRY_COMPARE(dialog.treeSearchCountLabel->text(), QStringLiteral("2 matches"));
        QCOMPARE(
            sw::test::layoutProblem({dialog.treeSearchEdit, dialog.treeSearchCountLabel, dialog.deviceTree,
                                     dialog.okButton, dialog.cancelButton, dialog.addVarButton,
                                     dialog.removeVarButton, dialog.fillAddressesButton, dialog.checkButton,
                                     dialog.exportButton, dialog.importButton}),
            QString());
        // Feeder2 > CTRL > Q0XCBR1 > Pos > stVal and LLN0 > Mod > stVal: nothing else is shown.
        const QModelIndex ld = model->index(0, 0, model->index(0, 0));
        QCOMPARE(model->rowCount(ld), 2);
        const QModelIndex pos = model->index(0, 0, model->index(1, 0, ld));
        QCOMPARE(pos.data().toString(), QStringLiteral("Pos"));
        QCOMPARE(model->rowCount(pos), 1);
        QVERIFY(dialog.deviceTree->isExpanded(pos));

        dialog.treeSearchEdit->setFocus();
        QTest::keyClick(dialog.treeSearchEdit, Qt::Key_Return);
        QCOMPARE(sw::gui::SclTreeModel::object(dialog.deviceTree->currentIndex())->kind(), sw::SclKind::DA);
        const QModelIndex first = dialog.deviceTree->currentIndex();
        QTest::keyClick(dialog.treeSearchEdit, Qt::Key_Return);
        QVERIFY(dialog.deviceTree->currentIndex() != first);
        QCOMPARE(dialog.treeSearchCountLabel->text(), QStringLiteral("2 of 2"));
        QTest::keyClick(dialog.treeSearchEdit, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(dialog.deviceTree->currentIndex(), first);

        QTest::keyClick(dialog.treeSearchEdit, Qt::Key_Escape);
        QVERIFY2(dialog.isVisible(), "Escape clears the search, not the dialog");
        QCOMPARE(dialog.treeSearchEdit->text(), QString());
        QCOMPARE(model->search(), nullptr);
        QCOMPARE(model->rowCount(ld), 2);
        QCOMPARE(model->rowCount(model->index(1, 0, ld)), 1); // the whole node again

        QTest::keyClicks(dialog.treeSearchEdit, QStringLiteral("nothing"));
        QTRY_COMPARE(dialog.treeSearchCountLabel->text(), QStringLiteral("0 matches"));
        QCOMPARE(model->rowCount(), 0);
    }

    void rowsWhoseReferenceIsGoneAreMarkedWithWhatIsMissing() {
        Project project;
        sw::test::FakeMessageService messages;
        std::filesystem::create_directories(project.state.session.project().icdCatalog());
        std::filesystem::copy_file(kThree, project.state.session.project().icdCatalog() / "three.scd");
        sw::test::writeFile(
            project.state.session.project().accessFile(),
            R"(<IEC_68850_Client><List_ICD_Files><ICD_File Name="F" FileName="three.scd" IEDName="Feeder2"/>)"
            R"(</List_ICD_Files><List_DA_Selected><DA_Item Index="0" Reference="Feeder2CTRL/Q0XCBR1.Pos.stVal"/>)"
            R"(<DA_Item Index="0" Reference="Feeder2CTRL/Q0XCBR1.Gone.stVal"/></List_DA_Selected>)"
            R"(<List_DataSet_Selected><DataSet_Item Index="3" Reference="X"/></List_DataSet_Selected>)"
            R"(</IEC_68850_Client>)");
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);
        QCOMPARE(cell(dialog.variablesTable, 0, 2, Qt::ToolTipRole), QString());
        QVERIFY(cell(dialog.variablesTable, 1, 2, Qt::ToolTipRole).contains(QStringLiteral("Gone.stVal")));
        QVERIFY(dialog.variablesTable->model()->index(1, 0).data(Qt::BackgroundRole).isValid());
        QVERIFY(cell(dialog.dataSetsTable, 0, 0, Qt::ToolTipRole).contains(QStringLiteral("no device")));
        QCOMPARE(cell(dialog.variablesTable, 1, VC::VariableColumn::Reference),
                 QStringLiteral("Feeder2CTRL/Q0XCBR1.Gone.stVal"));
    }
};

QTEST_MAIN(AccessIedsWindowTest)
#include "access_ieds_window_test.moc"
