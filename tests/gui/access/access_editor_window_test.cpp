#include "core/access/access_file.h"
#include "core/language/builtin_texts.h"
#include "core/parameters/parameter_file.h"
#include "core/parameters/parameter_set.h"
#include "core/scl/scl_model.h"
#include "gui/access/access_editor_window.h"
#include "gui/access/access_table_models.h"
#include "gui/access/scl_tree_model.h"
#include "gui/shell/main_window.h"
#include "support/gui/fake_file_chooser.h"
#include "support/gui/fake_message_service.h"
#include "support/gui/scripted_dialogs.h"
#include "test_project.h"
#include "test_support.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTreeView>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

using sw::gui::AccessEditorWindow;
using sw::test::FakeFileChooser;
using sw::test::FakeMessageService;
using Icon = sw::gui::MessageService::Icon;
using Answer = sw::gui::MessageService::Answer;
namespace VC = sw::access;

namespace {

const std::filesystem::path kBay1 = std::filesystem::path(SW_FIXTURES_DIR) / "scl" / "bay1.icd";

// A program state with the English texts and an active project folder of its own.
struct Project : sw::test::TestProject {
    bool hasAccessFile() const { return std::filesystem::exists(paths.accessFile()); }
};

// Shows the dialog and waits until its access file and catalog are loaded.
void showLoaded(AccessEditorWindow& dialog) {
    dialog.show();
    QTRY_VERIFY(!dialog.isLoading());
}

QString cell(const QTableView* view, int row, int column, int role = Qt::DisplayRole) {
    return view->model()->index(row, column).data(role).toString();
}

void setCell(QTableView* view, int row, int column, const QString& text) {
    QVERIFY(view->model()->setData(view->model()->index(row, column), text));
}

// The tree node reached by following node texts from the device root.
QModelIndex treeNode(const QAbstractItemModel& model, const QStringList& path) {
    QModelIndex at = model.index(0, 0);
    for (const QString& text : path) {
        const QModelIndexList found =
            model.match(model.index(0, 0, at), Qt::DisplayRole, text, 1, Qt::MatchExactly);
        if (found.isEmpty()) {
            return {};
        }
        at = found.first();
    }
    return at;
}

void clickNode(QTreeView* tree, const QStringList& path) {
    const QModelIndex node = treeNode(*tree->model(), path);
    QVERIFY2(node.isValid(), qPrintable(path.join(QLatin1Char('/'))));
    tree->scrollTo(node);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(node).center());
}

// Adds bay1.icd through the file chooser and chooses it in the device list.
void addAndChooseBay1(AccessEditorWindow& dialog) {
    FakeFileChooser chooser;
    chooser.files.push_back(QString::fromStdString(kBay1.string()));
    dialog.addIecDeviceButton->click();
    QTRY_VERIFY(!dialog.busy()); // loaded off the interface thread
    QCOMPARE(dialog.deviceList->count(), 1);
    dialog.deviceList->setCurrentRow(0);
}

} // namespace

class AccessEditorWindowTest : public QObject {
    Q_OBJECT
private slots:
    void stepThreeOpensTheEditorForTheActiveProjectAndCancelWritesNothing() {
        sw::test::TempDir programDir;
        FakeMessageService messages;
        AccessEditorWindow* opened = nullptr;
        sw::test::ScriptedDialogs dialogs([&](QDialog* dialog) {
            opened = qobject_cast<AccessEditorWindow*>(dialog);
            QVERIFY(opened != nullptr);
            QTRY_VERIFY(!opened->isLoading());
            opened->editor().list().setVariableCell(1, 1, "0");
            opened->cancelButton->click();
        });
        sw::gui::MainWindow window(programDir.path());
        window.accessButton->click();
        QCOMPARE(messages.texts(), QStringList{QString::fromStdString(window.state().texts.Get(18))});
        QVERIFY(dialogs.opened.empty());

        std::filesystem::create_directories(programDir / "PROJECTS" / "P");
        window.state().session.activeProjectFolder = programDir / "PROJECTS" / "P";
        window.accessButton->click();
        QCOMPARE(opened, window.accessDialog());
        QCOMPARE(opened->result(), int(QDialog::Rejected));
        QVERIFY(!std::filesystem::exists(window.state().session.project().accessFile()));

        // A language change reaches the open editor's headers.
        window.state().texts.Put(1222, "Riferimento");
        window.changeLanguage();
        QCOMPARE(opened->variablesTable->model()->headerData(3, Qt::Horizontal).toString(),
                 QStringLiteral("Riferimento"));
    }

    void aDeviceAddedFromTheFileChooserShowsItsTreeAndOnlyLeavesAndDataSetsAreAdded() {
        Project project;
        FakeMessageService messages;
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);
        {
            FakeFileChooser chooser;
            dialog.addIecDeviceButton->click(); // cancelled
            QCOMPARE(chooser.offeredFilters.size(), 2);
            QVERIFY(chooser.offeredFilters[0].contains(QStringLiteral("*.icd")));
        }
        addAndChooseBay1(dialog);
        QCOMPARE(dialog.deviceList->item(0)->text(), QStringLiteral("Bay1"));
        QVERIFY(std::filesystem::is_regular_file(project.paths.icdCatalog() / "bay1.icd"));
        QTreeView* tree = dialog.deviceTree;
        const QModelIndex root = tree->model()->index(0, 0);
        QCOMPARE(root.data().toString(), QStringLiteral("Bay1"));
        QVERIFY(
            tree->isExpanded(treeNode(*tree->model(), {QStringLiteral("CTRL"), QStringLiteral("Q0XCBR1")})));

        // A data object, and a leaf reached with the keys only, add nothing.
        clickNode(tree, {QStringLiteral("CTRL"), QStringLiteral("Q0XCBR1"), QStringLiteral("Pos")});
        dialog.addVarButton->click();
        tree->setCurrentIndex(treeNode(*tree->model(), {QStringLiteral("CTRL"), QStringLiteral("Q0XCBR1"),
                                                        QStringLiteral("Pos"), QStringLiteral("stVal")}));
        dialog.addVarButton->click();
        QCOMPARE(dialog.variablesTable->model()->rowCount(), 1);
        QCOMPARE(cell(dialog.variablesTable, 0, VC::VariableColumn::Index), QString());

        clickNode(tree, {QStringLiteral("CTRL"), QStringLiteral("Q0XCBR1"), QStringLiteral("Pos"),
                         QStringLiteral("stVal")});
        dialog.addVarButton->click();
        QCOMPARE(dialog.variablesTable->model()->rowCount(), 1);
        QCOMPARE(cell(dialog.variablesTable, 0, VC::VariableColumn::Index), QStringLiteral("0"));
        QCOMPARE(cell(dialog.variablesTable, 0, VC::VariableColumn::bType), QStringLiteral("Dbpos"));
        QCOMPARE(cell(dialog.variablesTable, 0, VC::VariableColumn::Reference),
                 QStringLiteral("Bay1CTRL/Q0XCBR1.Pos.stVal"));
        QCOMPARE(dialog.variablesTable->model()
                     ->index(0, VC::VariableColumn::OnChange)
                     .data(Qt::CheckStateRole)
                     .toInt(),
                 int(Qt::Unchecked));
        QVERIFY(!(dialog.variablesTable->model()->flags(
                      dialog.variablesTable->model()->index(0, VC::VariableColumn::Reference)) &
                  Qt::ItemIsEditable));
        QVERIFY(messages.shown.empty());

        // Hover texts: a tree leaf gives its reference, constraint and type; a device index its device; a
        // cell its whole text.
        const QModelIndex stVal = treeNode(*tree->model(), {QStringLiteral("CTRL"), QStringLiteral("Q0XCBR1"),
                                                            QStringLiteral("Pos"), QStringLiteral("stVal")});
        QCOMPARE(stVal.data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Bay1CTRL/Q0XCBR1.Pos.stVal\nFC: ST\nbType: Dbpos"));
        const QAbstractItemModel* variables = dialog.variablesTable->model();
        QCOMPARE(variables->index(0, VC::VariableColumn::Index).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("0: Bay1"));
        QCOMPARE(variables->index(0, VC::VariableColumn::Reference).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Bay1CTRL/Q0XCBR1.Pos.stVal"));

        // A double click adds what Add Var adds: a leaf attribute, not a data object.
        tree->scrollTo(stVal);
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(stVal).center());
        QCOMPARE(variables->rowCount(), 2);
        const QModelIndex pos = stVal.parent();
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(pos).center());
        QCOMPARE(variables->rowCount(), 2);

        // Dragged onto a table it is added too; what the tree did not send is refused.
        QVERIFY(!(tree->model()->flags(pos) & Qt::ItemIsDragEnabled));
        const std::unique_ptr<QMimeData> dragged(tree->model()->mimeData({stVal}));
        QWidget* target = dialog.variablesTable->viewport();
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, dragged.get(), Qt::LeftButton, {});
        QApplication::sendEvent(target, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, dragged.get(), Qt::LeftButton, {});
        QApplication::sendEvent(target, &drop);
        QCOMPARE(variables->rowCount(), 3);
        QMimeData forged;
        forged.setData(QStringLiteral("application/x-sw40512-scl-node"), QByteArray("12345"));
        QDropEvent forgedDrop(QPointF(5, 5), Qt::CopyAction, &forged, Qt::LeftButton, {});
        QApplication::sendEvent(target, &forgedDrop);
        QCOMPARE(variables->rowCount(), 3);
    }

    void memberEditsReachTheirDataSetAtOnceAndSurviveChoosingAnotherRow() {
        Project project;
        FakeMessageService messages;
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);
        addAndChooseBay1(dialog);
        for (const char* dataSet : {"DS1", "DS3"}) {
            clickNode(dialog.deviceTree,
                      {QStringLiteral("CTRL"), QStringLiteral("LLN0"), QLatin1String(dataSet)});
            dialog.addVarButton->click();
        }
        QCOMPARE(dialog.pages->currentWidget(), dialog.dataSetsPage);
        QTableView* sets = dialog.dataSetsTable;
        QTableView* members = dialog.membersTable;
        QCOMPARE(sets->model()->rowCount(), 2);
        // DS1 names members its SCL file does not hold: Add Var says so, and its row stays marked.
        QCOMPARE(messages.shown.size(), size_t(1));
        QVERIFY(messages.shown[0].text.contains(QStringLiteral("member 6 of 10")));
        const auto hover = [sets](int row) {
            return sets->model()->index(row, VC::DataSetColumn::Reference).data(Qt::ToolTipRole).toString();
        };
        QVERIFY2(hover(0).contains(QStringLiteral("member 6 of 10")), qPrintable(hover(0)));
        QCOMPARE(hover(1), QStringLiteral("Bay1CTRL/LLN0.DS3")); // a sound row: just its whole text
        QCOMPARE(cell(sets, 0, VC::DataSetColumn::GooseName), QStringLiteral("GoCB1"));
        QCOMPARE(sets->model()->index(0, VC::DataSetColumn::EnGoose).data(Qt::CheckStateRole).toInt(),
                 int(Qt::Checked));

        // A click on the first row shows its six members; a typed Position goes through the cell editor.
        dialog.activateWindow();
        QTest::mouseClick(sets->viewport(), Qt::LeftButton, {},
                          sets->visualRect(sets->model()->index(0, 0)).center());
        QCOMPARE(members->model()->rowCount(), 6);
        QCOMPARE(cell(members, 0, VC::MemberColumn::Reference), QStringLiteral("Bay1CTRL/Q0XCBR1.Pos.stVal"));
        const QModelIndex position = members->model()->index(1, VC::MemberColumn::Position);
        members->setCurrentIndex(position);
        members->edit(position);
        auto* edit = members->findChild<QLineEdit*>();
        QVERIFY(edit != nullptr);
        edit->setText(QStringLiteral("42"));
        QTest::keyClick(edit, Qt::Key_Return);
        // A drop-down cell stores each pick at once.
        const QModelIndex startBit = members->model()->index(1, VC::MemberColumn::StartBit);
        members->setCurrentIndex(startBit);
        members->edit(startBit);
        auto* list = members->findChild<QComboBox*>();
        QVERIFY(list != nullptr);
        QCOMPARE(list->count(), 8);
        list->setCurrentIndex(3);
        emit list->activated(3);
        QCOMPARE(dialog.editor().list().dataSets()[0].List_DAs[1].bitAddress, std::string("3"));

        QTest::mouseClick(sets->viewport(), Qt::LeftButton, {},
                          sets->visualRect(sets->model()->index(1, 0)).center());
        QCOMPARE(members->model()->rowCount(), 1);
        QCOMPARE(cell(members, 0, VC::MemberColumn::Reference), QString());
        QTest::mouseClick(sets->viewport(), Qt::LeftButton, {},
                          sets->visualRect(sets->model()->index(0, 0)).center());
        QCOMPARE(cell(members, 1, VC::MemberColumn::Position), QStringLiteral("42"));
        QCOMPARE(cell(members, 1, VC::MemberColumn::StartBit), QStringLiteral("3"));

        // Removing the shown data set leaves no members of another set on view.
        dialog.removeVarButton->click();
        QCOMPARE(sets->model()->rowCount(), 1);
        QCOMPARE(cell(sets, 0, VC::DataSetColumn::Reference), QStringLiteral("Bay1CTRL/LLN0.DS3"));
        QCOMPARE(members->model()->rowCount(), 1);
        QCOMPARE(cell(members, 0, VC::MemberColumn::Reference), QString());
    }

    void okChecksTheVariablesAndWritesAFileTheBuildAccepts() {
        Project project;
        sw::writeParameterFile(project.paths.parGenFile(), sw::ParameterSet{});
        FakeMessageService messages;
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);
        addAndChooseBay1(dialog);
        clickNode(dialog.deviceTree, {QStringLiteral("CTRL"), QStringLiteral("MMXU1"), QStringLiteral("TotW"),
                                      QStringLiteral("mag"), QStringLiteral("f")});
        dialog.addVarButton->click();
        dialog.setResult(QDialog::Rejected);

        dialog.okButton->click();
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral(
                     "Error row 1!! IP Address must be a valid TCP IP Address (Ex. 192.168.1.125)")});
        QVERIFY(messages.shown[0].icon == Icon::Error);
        QVERIFY(!project.hasAccessFile());
        QVERIFY(dialog.isVisible());

        QTableView* variables = dialog.variablesTable;
        setCell(variables, 0, VC::VariableColumn::IPAddress, QStringLiteral("192.168.1.10"));
        setCell(variables, 0, VC::VariableColumn::Port, QStringLiteral("102"));
        setCell(variables, 0, VC::VariableColumn::Position, QStringLiteral("5"));
        setCell(variables, 0, VC::VariableColumn::MoltFact, QStringLiteral("None"));
        QVERIFY(variables->model()->setData(variables->model()->index(0, VC::VariableColumn::OnChange),
                                            Qt::Checked, Qt::CheckStateRole));
        QVERIFY(!variables->model()->setData(variables->model()->index(0, VC::VariableColumn::ReadWrite),
                                             QStringLiteral("Sometimes")));
        setCell(variables, 0, VC::VariableColumn::ReadWrite, QStringLiteral("Read"));
        dialog.okButton->click();
        QCOMPARE(messages.shown.size(), size_t(1));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const sw::access::AccessFile written = sw::access::readAccessFile(project.paths.accessFile());
        QCOMPARE(written.variables.size(), size_t(1));
        QCOMPARE(written.variables[0][VC::VariableColumn::OnChange], std::string("Y"));
        QCOMPARE(written.catalog[0][VC::CatalogColumn::FileName], std::string("bay1.icd"));

        const auto build = sw::test::runProcess(
            {SW_CLI_PATH, "build", project.dir.path().string(), "--decimal-separator", "."});
        QVERIFY2(build.exitCode == 0, build.stderrText.c_str());
        QVERIFY(std::filesystem::is_regular_file(project.paths.variableImage()));

        // The next showing reads the file back.
        dialog.hide();
        showLoaded(dialog);
        QCOMPARE(dialog.deviceList->count(), 1);
        QCOMPARE(cell(variables, 0, VC::VariableColumn::IPAddress), QStringLiteral("192.168.1.10"));
    }

    void closingWithChangesAsksAndOnlyTheAnswerDecides() {
        Project project;
        FakeMessageService messages;
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);
        // Without changes every way out closes at once.
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QVERIFY(messages.shown.empty());

        showLoaded(dialog);
        addAndChooseBay1(dialog); // a device added is a change as much as an edited cell
        const struct {
            const char* how;
            std::function<void()> close;
            Answer answer;
            bool open;  // the window is still there afterwards
            bool saved; // the access file was written
        } cases[] = {
            {"Esc, stay", [&] { QTest::keyClick(&dialog, Qt::Key_Escape); }, Answer::Cancel, true, false},
            {"Cancel, stay", [&] { dialog.cancelButton->click(); }, Answer::Cancel, true, false},
            {"close button, save", [&] { dialog.close(); }, Answer::Yes, false, true},
        };
        for (const auto& c : cases) {
            messages.shown.clear();
            messages.answers = {c.answer};
            c.close();
            QCOMPARE(messages.shown.size(), std::size_t{1});
            QVERIFY(messages.shown[0].buttons == sw::gui::MessageService::Buttons::SaveDiscardCancel);
            QVERIFY2(dialog.isVisible() == c.open, c.how);
            QVERIFY2(project.hasAccessFile() == c.saved, c.how);
        }
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        // Discarding leaves the saved file as it was; a saved list reopens without changes.
        showLoaded(dialog);
        QVERIFY(!dialog.hasChanges());
        const std::string saved = sw::test::readFile(project.paths.accessFile());
        dialog.deviceList->setCurrentRow(0);
        dialog.removeIecDeviceButton->click();
        QVERIFY(dialog.hasChanges());
        messages.shown.clear();
        messages.answers = {Answer::No};
        dialog.cancelButton->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(sw::test::readFile(project.paths.accessFile()), saved);

        // In Italian the question is asked in Italian.
        sw::test::speakItalian(project.state.texts);
        showLoaded(dialog);
        dialog.deviceList->setCurrentRow(0);
        dialog.removeIecDeviceButton->click();
        messages.shown.clear();
        messages.answers = {Answer::Cancel};
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("La lista di accesso ha modifiche non salvate. "
                                            "Salvarle (con i controlli di OK) o scartarle?")});
        messages.answers = {Answer::No};
        dialog.cancelButton->click();
        QVERIFY(!dialog.isVisible());

        // A close nobody can answer asks nothing.
        showLoaded(dialog);
        dialog.deviceList->setCurrentRow(0);
        dialog.removeIecDeviceButton->click();
        messages.shown.clear();
        dialog.closeWithoutAsking();
        QVERIFY(!dialog.isVisible());
        QVERIFY(messages.shown.empty());
        QCOMPARE(sw::test::readFile(project.paths.accessFile()), saved);
    }

    void okShowsTheRowsThatCollideOnTheDataArrayAndSavesOnlyWhenTold() {
        Project project;
        const std::string row =
            R"(<DA_Item Index="0" bType="BOOLEAN" fc="ST" Reference="IED1CTRL/XCBR1.Pos.stVal" )"
            R"(IPAddress="192.168.2.10" Port="102" OnChange="Y" OnCMD="N" OnTimer="N" )"
            R"(Time="1000" Position="7" StartBit="1" ReadWrite="Read" Convertion="None" )"
            R"(MoltFact="1" Mnemonic="b"/>)";
        const std::string stored = R"(<IEC_68850_Client><List_ICD_Files><ICD_File Name="IED1" )"
                                   R"(FileName="ied1.icd"/></List_ICD_Files><List_DA_Selected>)" +
                                   row + row +
                                   R"(</List_DA_Selected><List_DataSet_Selected/></IEC_68850_Client>)";
        sw::test::writeFile(project.paths.accessFile(), stored);
        FakeMessageService messages;
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);
        dialog.setResult(QDialog::Rejected);

        messages.answers = {Answer::No};
        dialog.okButton->click();
        QCOMPARE(messages.shown.size(), std::size_t{1});
        QVERIFY(messages.shown[0].buttons == sw::gui::MessageService::Buttons::YesNo);
        QVERIFY2(messages.shown[0].text.contains(QStringLiteral(
                     "position 7: variables row 1 (Read, start bit 1); variables row 2 (Read, start bit 1)")),
                 qPrintable(messages.shown[0].text));
        QVERIFY(dialog.isVisible());
        QCOMPARE(sw::test::readFile(project.paths.accessFile()), stored);

        messages.answers = {Answer::Yes};
        dialog.okButton->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(sw::test::readFile(project.paths.accessFile()) != stored); // written anew, with its version
    }

    void theWindowKeepsItsSizeAndPlaceAndTablesOpenAtTheirLeftEdge() {
        Project project;
        FakeMessageService messages;
        AccessEditorWindow dialog(project.state);
        dialog.show();
        const QRect first = dialog.geometry();
        QTRY_VERIFY(!dialog.isLoading()); // the progress line came and went
        QCOMPARE(dialog.geometry().size(), first.size());
        const QRect screen = dialog.screen()->availableGeometry();
        // As large as its classic size where the screen allows, never larger than the screen beyond what
        // its controls need.
        QVERIFY(dialog.width() <= std::max(screen.width(), dialog.minimumSizeHint().width()));
        QVERIFY(dialog.height() <= std::max(screen.height(), dialog.minimumSizeHint().height()));
        for (int k = 1; k <= 3; ++k) {
            FakeFileChooser chooser; // the same file again: one device more each time
            chooser.files.push_back(QString::fromStdString(kBay1.string()));
            dialog.addIecDeviceButton->click();
            QTRY_VERIFY(!dialog.busy());
            QCOMPARE(dialog.deviceList->count(), k);
        }
        QCOMPARE(dialog.geometry().size(), first.size());

        // Moved and resized by the user, then closed and reopened: kept as the user left it.
        dialog.resize(first.width() - 100, first.height() - 50);
        dialog.move(first.topLeft() + QPoint(20, 10));
        const QRect chosen = dialog.geometry();
        messages.answers = {Answer::No, Answer::No, Answer::No};
        dialog.variablesTable->horizontalScrollBar()->setValue(
            dialog.variablesTable->horizontalScrollBar()->maximum());
        dialog.cancelButton->click();
        QVERIFY(!dialog.isVisible());
        showLoaded(dialog);
        QCOMPARE(dialog.size(), chosen.size());
        // (A window wider than the small virtual screen may be nudged by a pixel or two to stay on it.)
        QVERIFY((dialog.geometry().topLeft() - chosen.topLeft()).manhattanLength() <= 4);
        QCOMPARE(dialog.variablesTable->horizontalScrollBar()->value(), 0);
    }

    void anAccessFileThatCannotBeReadIsNeverOverwrittenAndDroppedSettingsAreReported() {
        const struct {
            const char* access;
            Icon icon;
            bool okEnabled;
        } cases[] = {
            {"<IEC_68850_Client><List_ICD_Files>", Icon::Error, false},
            {R"(<IEC_68850_Client><List_ICD_Files><ICD_File FileName="bay1.icd"/></List_ICD_Files>)"
             R"(<List_DataSet_Selected><DataSet_Item Index="0" Reference="Bay1CTRL/LLN0.DS1"><DataSet_List_DAs>)"
             R"(<DataSet_DA_Item bType="X" Reference="gone"/></DataSet_List_DAs></DataSet_Item>)"
             R"(</List_DataSet_Selected></IEC_68850_Client>)",
             Icon::Warning, true},
        };
        for (const auto& c : cases) {
            Project project;
            std::filesystem::create_directories(project.paths.icdCatalog());
            std::filesystem::copy_file(kBay1, project.paths.icdCatalog() / "bay1.icd");
            sw::test::writeFile(project.paths.accessFile(), c.access);
            FakeMessageService messages;
            AccessEditorWindow dialog(project.state);
            showLoaded(dialog);
            QCOMPARE(messages.shown.size(), size_t(1));
            QVERIFY(messages.shown[0].icon == c.icon);
            QCOMPARE(dialog.okButton->isEnabled(), c.okEnabled);
            if (!c.okEnabled) {
                dialog.onOkClicked();
                QCOMPARE(sw::test::readFile(project.paths.accessFile()), std::string(c.access));
            } else {
                QVERIFY(messages.shown[0].text.contains(QStringLiteral("gone")));
            }
        }
    }

    void overwriteQuestionDecidesWhichFileTheAddedDeviceComesFrom() {
        Project project;
        FakeMessageService messages;
        AccessEditorWindow dialog(project.state);
        showLoaded(dialog);
        std::filesystem::create_directories(project.paths.icdCatalog());
        sw::test::writeFile(project.paths.icdCatalog() / "bay1.icd",
                            R"(<SCL><IED name="Old"/><DataTypeTemplates/></SCL>)");
        FakeFileChooser chooser;
        for (int i = 0; i < 3; ++i) {
            chooser.files.push_back(QString::fromStdString(kBay1.string()));
        }
        messages.answers = {Answer::Cancel, Answer::No, Answer::Yes};
        for (int i = 0; i < 3; ++i) {
            dialog.addIecDeviceButton->click();
            QTRY_VERIFY(!dialog.busy());
        }
        QCOMPARE(messages.shown.size(), size_t(3));
        QVERIFY(messages.shown[0].buttons == sw::gui::MessageService::Buttons::YesNoCancel);
        QCOMPARE(messages.shown[0].text, QString::fromUtf8(sw::access::kOverwriteQuestion));
        QCOMPARE(dialog.deviceList->count(), 2);
        QCOMPARE(dialog.deviceList->item(0)->text(), QStringLiteral("Old"));
        QCOMPARE(dialog.deviceList->item(1)->text(), QStringLiteral("Bay1"));
    }

    void enterMovesToTheNextCellOnlyWhenTheOptionIsOnAndNeverPressesAButton() {
        FakeFileChooser chooser; // a button pressed by Enter would ask for a file
        FakeMessageService messages;
        for (const bool jump : {false, true}) {
            Project project;
            project.state.settings.enableJumpFieldTables = jump;
            AccessEditorWindow dialog(project.state);
            showLoaded(dialog);
            QTableView* variables = dialog.variablesTable;
            variables->setCurrentIndex(variables->model()->index(0, VC::VariableColumn::Mnemonic));
            QTest::keyClick(variables, Qt::Key_Return);
            QCOMPARE(variables->currentIndex().column(),
                     jump ? int(VC::VariableColumn::Index) : int(VC::VariableColumn::Mnemonic));
        }
    }

    void treeModelPassesTheModelTesterOverAWholeDevice() {
        const sw::SclIed device(kBay1);
        sw::gui::SclTreeModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setDevice(&device);
        int nodes = 0;
        std::function<void(const QModelIndex&)> visit = [&](const QModelIndex& parent) {
            for (int row = 0; row < model.rowCount(parent); ++row) {
                const QModelIndex child = model.index(row, 0, parent);
                QCOMPARE(model.parent(child), parent);
                QCOMPARE(model.indexOf(sw::gui::SclTreeModel::object(child)), child);
                ++nodes;
                visit(child);
            }
        };
        visit({});
        QCOMPARE(nodes, 1 + 2 + 7 + 16 + 48 + 4); // device, LDs, LNs, DOs, DAs, data sets
        const QModelIndex dataSet =
            treeNode(model, {QStringLiteral("CTRL"), QStringLiteral("LLN0"), QStringLiteral("DS1")});
        QCOMPARE(dataSet.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 128, 0));
        const QModelIndex dataObject =
            treeNode(model, {QStringLiteral("CTRL"), QStringLiteral("LLN0"), QStringLiteral("Mod")});
        QCOMPARE(dataObject.data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 0, 255));
        model.setDevice(nullptr);
        QCOMPARE(model.rowCount(), 0);
    }
};

QTEST_MAIN(AccessEditorWindowTest)
#include "access_editor_window_test.moc"
