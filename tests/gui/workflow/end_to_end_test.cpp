#include "core/access/access_file.h"
#include "core/common/path_text.h"
#include "core/image/image_decoder.h"
#include "core/update/address_check.h"
#include "gui/access/access_editor_window.h"
#include "gui/access/scl_tree_model.h"
#include "gui/parameters/parameters_dialog.h"
#include "gui/shell/main_window.h"
#include "gui/shell/project_dialogs.h"
#include "gui/update/update_dialog.h"
#include "support/gui/fake_file_chooser.h"
#include "support/gui/fake_message_service.h"
#include "support/gui/recording_link_opener.h"
#include "support/gui/scripted_dialogs.h"
#include "test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QUrl>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using sw::gui::MainWindow;
namespace VC = sw::access;

namespace {

const std::filesystem::path kBay1 = std::filesystem::path(SW_FIXTURES_DIR) / "scl" / "bay1.icd";

// Replaces a field's text the way a user does: select it all, then type.
void typeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

void chooseListEntry(QComboBox* list, const QString& entry) {
    const int index = list->findText(entry);
    QVERIFY2(index >= 0, qPrintable(entry));
    list->setCurrentIndex(index);
}

void setCell(QTableView* view, int row, std::size_t column, const QVariant& value, int role = Qt::EditRole) {
    QAbstractItemModel* model = view->model();
    QVERIFY2(model->setData(model->index(row, static_cast<int>(column)), value, role),
             qPrintable(model->headerData(static_cast<int>(column), Qt::Horizontal).toString()));
}

// Clicks the tree node reached by following node texts from the device root.
void clickNode(QTreeView* tree, const QStringList& path) {
    const QAbstractItemModel& model = *tree->model();
    QModelIndex at = model.index(0, 0);
    for (const QString& text : path) {
        const QModelIndexList found =
            model.match(model.index(0, 0, at), Qt::DisplayRole, text, 1, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(path.join(QLatin1Char('/'))));
        at = found.first();
    }
    tree->scrollTo(at);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(at).center());
}

// Every file and folder under `root`, as sorted relative paths with "/" between the names.
std::vector<std::string> everythingUnder(const std::filesystem::path& root) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        found.push_back(entry.path().lexically_relative(root).generic_string() +
                        (entry.is_directory() ? "/" : ""));
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& file) {
    const std::string text = sw::test::readFile(file);
    return {text.begin(), text.end()};
}

// The echo check of the update dialog is real; it needs an ICMP socket, which some sandboxes refuse.
bool echoAvailable(QString& why) {
    try {
        sw::makeIcmpEchoService()->echo("127.0.0.1", "127.0.0.1", sw::kEchoTimeout);
        return true;
    } catch (const std::exception& error) {
        why = QString::fromUtf8(error.what());
        return false;
    }
}

// The report's problems, one per line, for a failure message.
std::string problemsOf(const sw::image::ImageReport& report) {
    std::string all;
    for (const std::string& problem : report.problems) {
        all += problem + "\n";
    }
    return all;
}

void verifyContains(const std::string& text, const std::string& part) {
    QVERIFY2(text.find(part) != std::string::npos,
             qPrintable(QString::fromStdString(part + "\nin\n" + text)));
}

// Step 1: a new project named "Plant Süd", a name beyond ASCII.
void createPlant(sw::gui::NewProjectDialog* dialog) {
    QTest::keyClicks(dialog->projectNameEdit, QStringLiteral("Plant S"));
    dialog->projectNameEdit->insert(QStringLiteral("üd")); // typed as a keyboard layout with ü would
    dialog->okButton->click();
}

// Step 2: the converter's address and its serial line, over the defaults of a project without settings.
void enterCommunication(sw::gui::ParametersDialog* dialog) {
    QCOMPARE(dialog->clientIp1Edit->text(), QStringLiteral("192"));
    const std::pair<QLineEdit*, const char*> typed[] = {
        {dialog->clientIp1Edit, "10"},       {dialog->clientIp2Edit, "20"},
        {dialog->clientIp3Edit, "30"},       {dialog->clientIp4Edit, "40"},
        {dialog->clientMask3Edit, "0"},      {dialog->clientGateway1Edit, "10"},
        {dialog->clientGateway2Edit, "20"},  {dialog->clientGateway3Edit, "30"},
        {dialog->clientGateway4Edit, "254"}, {dialog->vlanEdit, "7"},
        {dialog->appIdEdit, "300"},
    };
    for (const auto& [edit, text] : typed) {
        typeInto(edit, QString::fromLatin1(text));
    }
    dialog->gatewayEnabledBox->setChecked(true);
    chooseListEntry(dialog->serialInterfaceList, QStringLiteral("RS485"));
    chooseListEntry(dialog->serialBaudrateList, QStringLiteral("9600"));
    chooseListEntry(dialog->serialParityList, QStringLiteral("NONE"));
    chooseListEntry(dialog->serialStopBitsList, QStringLiteral("2 Stop Bits"));
    dialog->okButton->click();
}

// Step 3: bay1.icd into the catalog, one leaf attribute as a variable and one data set.
void selectAccess(sw::gui::AccessEditorWindow* dialog) {
    QTRY_VERIFY(!dialog->isLoading());
    QCOMPARE(dialog->deviceList->count(), 0);
    QCOMPARE(dialog->variablesTable->model()->rowCount(), 1); // the one blank row of an empty list
    {
        sw::test::FakeFileChooser chooser;
        chooser.files.push_back(QString::fromStdString(kBay1.string()));
        dialog->addIecDeviceButton->click();
        QTRY_VERIFY(!dialog->busy());
    }
    QCOMPARE(dialog->deviceList->count(), 1);
    dialog->deviceList->setCurrentRow(0);
    QTRY_COMPARE(dialog->deviceTree->model()->index(0, 0).data().toString(), QStringLiteral("Bay1"));

    clickNode(dialog->deviceTree, {QStringLiteral("CTRL"), QStringLiteral("Q0XCBR1"), QStringLiteral("Pos"),
                                   QStringLiteral("stVal")});
    dialog->addVarButton->click();
    QTableView* variables = dialog->variablesTable;
    QCOMPARE(variables->model()->index(0, VC::VariableColumn::Reference).data().toString(),
             QStringLiteral("Bay1CTRL/Q0XCBR1.Pos.stVal"));
    setCell(variables, 0, VC::VariableColumn::IPAddress, QStringLiteral("10.20.30.50"));
    setCell(variables, 0, VC::VariableColumn::Port, QStringLiteral("10102"));
    setCell(variables, 0, VC::VariableColumn::OnChange, Qt::Checked, Qt::CheckStateRole);
    setCell(variables, 0, VC::VariableColumn::OnTimer, Qt::Checked, Qt::CheckStateRole);
    setCell(variables, 0, VC::VariableColumn::Time, QStringLiteral("2500"));
    setCell(variables, 0, VC::VariableColumn::Position, QStringLiteral("12"));
    setCell(variables, 0, VC::VariableColumn::Convertion, QStringLiteral("ItoF/FtoI"));
    setCell(variables, 0, VC::VariableColumn::MoltFact, QStringLiteral("2"));

    clickNode(dialog->deviceTree, {QStringLiteral("MEAS"), QStringLiteral("LLN0"), QStringLiteral("Clean")});
    dialog->addVarButton->click();
    QCOMPARE(dialog->pages->currentWidget(), dialog->dataSetsPage);
    QTableView* sets = dialog->dataSetsTable;
    QCOMPARE(sets->model()->index(0, VC::DataSetColumn::GooseName).data().toString(),
             QStringLiteral("GoClean"));
    setCell(sets, 0, VC::DataSetColumn::IPAddress, QStringLiteral("10.20.30.51"));
    setCell(sets, 0, VC::DataSetColumn::Port, QStringLiteral("10103"));
    sets->setCurrentIndex(sets->model()->index(0, 0));
    QTableView* members = dialog->membersTable;
    QVERIFY(members->model()->rowCount() > 1);
    // Every member gets its place and factor, as every variable does.
    for (int member = 0; member < members->model()->rowCount(); ++member) {
        setCell(members, member, VC::MemberColumn::Position, QString::number(20 + member));
        setCell(members, member, VC::MemberColumn::MoltFact, QStringLiteral("None"));
    }

    dialog->okButton->click();
}

// Step 4: the device at the loopback address, firmware and configuration; waits for the updater.
void updateDevice(sw::gui::UpdateDialog* dialog) {
    const std::pair<QLineEdit*, const char*> address[] = {
        {dialog->ip1Edit, "127"}, {dialog->ip2Edit, "0"}, {dialog->ip3Edit, "0"}, {dialog->ip4Edit, "1"}};
    for (const auto& [edit, text] : address) {
        typeInto(edit, QString::fromLatin1(text));
    }
    chooseListEntry(dialog->updateOptionsList, QStringLiteral("Firmware + Configuration"));
    dialog->updateButton->click();
    QVERIFY(dialog->busy());
    QTRY_VERIFY_WITH_TIMEOUT(!dialog->busy(), 20000);
    dialog->cancelButton->click();
}

} // namespace

class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void typicalUseFromFirstStartToTheAcceptedUpdate() {
#ifdef _WIN32
        QSKIP("the stand-in updater runs behind a POSIX shell wrapper that keeps its verdict");
#endif
        QString noEcho;
        if (!echoAvailable(noEcho)) {
            QSKIP(qPrintable(noEcho));
        }
        // The program folder of a first start: nothing but the programs the update needs. The updater is
        // the stand-in, run through a wrapper that keeps what it said and its exit status.
        sw::test::TempDir dir;
        std::filesystem::create_directories(dir / "MASTER");
        sw::test::writeFile(dir / "MASTER" / "Sim40512.sim", "firmware placeholder");
        std::filesystem::copy_file(SW_UPDATER_PATH, dir / "Ethernet_Update-stand-in");
        const std::string verdict = (dir / "updater.log").string();
        sw::test::writeFile(dir / "Ethernet_Update",
                            "#!/bin/sh\n'" + (dir / "Ethernet_Update-stand-in").string() + "' > '" + verdict +
                                "' 2>&1; echo $? >> '" + verdict + "'\n");
        std::filesystem::permissions(dir / "Ethernet_Update", std::filesystem::perms::owner_all);

        sw::test::FakeMessageService messages;
        sw::test::RecordingLinkOpener links;
        sw::test::ScriptedDialogs dialogs([](QDialog* dialog) {
            if (auto* created = qobject_cast<sw::gui::NewProjectDialog*>(dialog)) {
                createPlant(created);
            } else if (auto* communication = qobject_cast<sw::gui::ParametersDialog*>(dialog)) {
                enterCommunication(communication);
            } else if (auto* access = qobject_cast<sw::gui::AccessEditorWindow*>(dialog)) {
                selectAccess(access);
            } else if (auto* update = qobject_cast<sw::gui::UpdateDialog*>(dialog)) {
                updateDevice(update);
            } else {
                QFAIL(qPrintable(QStringLiteral("unexpected dialog ") + dialog->objectName()));
            }
        });

        // Each step goes through without a message box.
        const auto shownMessages = [&messages] { return messages.texts().join(QLatin1Char('\n')); };
        const auto project = dir / "PROJECTS" / sw::pathFromUtf8("Plant Süd");
        {
            MainWindow window(dir.path());
            window.show();
            QVERIFY(!window.state().session.projectActive());

            window.newProjectButton->click();
            QVERIFY2(messages.shown.empty(), qPrintable(shownMessages()));
            QVERIFY(window.state().session.projectActive());
            QCOMPARE(window.projectNameLabel->text(), QStringLiteral("Plant Süd"));

            window.parametersButton->click();
            QVERIFY2(messages.shown.empty(), qPrintable(shownMessages()));
            QCOMPARE(window.parametersDialog()->result(), int(QDialog::Accepted));

            window.accessButton->click();
            QVERIFY2(messages.shown.empty(), qPrintable(shownMessages()));
            QCOMPARE(window.accessDialog()->result(), int(QDialog::Accepted));

            window.updateDeviceButton->click();
            QCOMPARE(messages.shown.size(), std::size_t{1});
            // (The wrapper keeps the stand-in's words to itself, so the window has no lines to add.)
            QCOMPARE(messages.shown[0].text, QStringLiteral("The update ended successfully."));
            messages.shown.clear();
            QCOMPARE(dialogs.opened.size(), std::size_t(4));
            QCOMPARE(QString::fromStdString(window.state().settings.lastIpAddress),
                     QStringLiteral("127.0.0.1"));

            // The day ends with the commissioning report, opened in the browser.
            window.reportButton->click();
            QTRY_COMPARE(links.opened.size(), 1);
            QVERIFY2(messages.shown.empty(), qPrintable(shownMessages()));
            QCOMPARE(
                links.opened.front(),
                QUrl::fromLocalFile(QString::fromStdString(sw::utf8Of(project / "Commissioning_Report.html")))
                    .toString());

            window.closeButton->click();
            QCOMPARE(window.exitStatus(), 0);
        }

        QCOMPARE(everythingUnder(dir.path()), (std::vector<std::string>{
                                                  "Ethernet_Update",
                                                  "Ethernet_Update-stand-in",
                                                  "Ethernet_Update.log",
                                                  "Ethernet_Update.xml",
                                                  "LANGUAGE/",
                                                  "MASTER/",
                                                  "MASTER/Sim40512.sim",
                                                  "Mendral.xml",
                                                  "PROJECTS/",
                                                  "PROJECTS/Plant Süd/",
                                                  "PROJECTS/Plant Süd/Commissioning_Report.html",
                                                  "PROJECTS/Plant Süd/ICD_Catalog/",
                                                  "PROJECTS/Plant Süd/ICD_Catalog/bay1.icd",
                                                  "PROJECTS/Plant Süd/IEC_61850_Client.xml",
                                                  "PROJECTS/Plant Süd/ParGen.xml",
                                                  "PROJECTS/Plant Süd/bin/",
                                                  "PROJECTS/Plant Süd/bin/bank1.bin",
                                                  "PROJECTS/Plant Süd/bin/bank2.bin",
                                                  "updater.log",
                                              }));

        // The updater found the job and every file it names sound.
        const std::string said = sw::test::readFile(verdict);
        verifyContains(said, "127.0.0.1");
        QVERIFY2(said.ends_with("\n0\n"), said.c_str());
        const std::string job = sw::test::readFile(dir / "Ethernet_Update.xml");
        verifyContains(job, "127.0.0.1");
        verifyContains(job, (dir / "MASTER" / "Sim40512.sim").string());
        verifyContains(job, (project / "bin" / "bank1.bin").string());
        verifyContains(job, (project / "bin" / "bank2.bin").string());

        // Closing remembered the project, the device address and the defaults of everything else.
        QCOMPARE(QString::fromStdString(sw::test::readFile(dir / "Mendral.xml")),
                 QStringLiteral(
                     "<Conf_Settings><lastproj><projectname>Plant Süd</projectname></lastproj><lastipadd>"
                     "<ipaddress>127.0.0.1</ipaddress></lastipadd><lastlang><language>English"
                     "</language></lastlang><lastinternet><enable_internet>0</enable_internet>"
                     "<enable_update>0</enable_update><enable_jump_field_tables>0"
                     "</enable_jump_field_tables><Double_Click_Auto_Size>0</Double_Click_Auto_Size>"
                     "</lastinternet></Conf_Settings>"));

        QCOMPARE(sw::test::readFile(project / "ICD_Catalog" / "bay1.icd"), sw::test::readFile(kBay1));
        const std::string parameters = sw::test::readFile(project / "ParGen.xml");
        for (const char* stored :
             {"<IEC61850_Client_IP1>10</IEC61850_Client_IP1>",
              "<IEC61850_Client_IP4>40</IEC61850_Client_IP4>",
              "<IEC61850_Client_GAT4>254</IEC61850_Client_GAT4>",
              "<IEC61850_Client_En_GAT>1</IEC61850_Client_En_GAT>", "<SERIAL_SERIAL>1</SERIAL_SERIAL>",
              "<SERIAL_BAUDRATE>3</SERIAL_BAUDRATE>"}) {
            verifyContains(parameters, stored);
        }
        const std::string access = sw::test::readFile(project / "IEC_61850_Client.xml");
        for (const char* stored : {"FileName=\"bay1.icd\"", "Reference=\"Bay1CTRL/Q0XCBR1.Pos.stVal\"",
                                   "IPAddress=\"10.20.30.50\"", "Port=\"10102\"", "Position=\"12\"",
                                   "Convertion=\"ItoF/FtoI\"", "GooseName=\"GoClean\"", "Port=\"10103\""}) {
            verifyContains(access, stored);
        }

        // The images decode whole, agree with each other and carry what was entered.
        const auto bank1 = fileBytes(project / "bin" / "bank1.bin");
        const auto bank2 = fileBytes(project / "bin" / "bank2.bin");
        const sw::image::ImageReport parameterImage = sw::image::decodeParameterImage(bank1);
        const sw::image::ImageReport variableImage = sw::image::decodeVariableImage(bank2);
        QVERIFY2(parameterImage.consistent(), problemsOf(parameterImage).c_str());
        QVERIFY2(variableImage.consistent(), problemsOf(variableImage).c_str());
        QCOMPARE(sw::image::checkImagePair(bank1, bank2), std::vector<std::string>{});
        for (const char* shown :
             {"IP address      10.20.30.40", "subnet mask     255.255.0.0", "gateway         10.20.30.254",
              "serial line     RS485", "baud rate       9600"}) {
            verifyContains(parameterImage.dump, shown);
        }
        for (const char* shown : {"1 variable(s), 1 data set(s), VLAN 7, application ID 300",
                                  "position 12, port 10102, time 2500 ms, factor 2", "host \"10.20.30.50\"",
                                  "reference \"Bay1CTRL/Q0XCBR1.Pos.stVal\"", "GOOSE name \"GoClean\"",
                                  "port 10103", "host \"10.20.30.51\"", "member 1 of data set 1: position 20",
                                  "member 2 of data set 1: position 21"}) {
            verifyContains(variableImage.dump, shown);
        }
    }
};

QTEST_MAIN(EndToEndTest)
#include "end_to_end_test.moc"
