#include "gui/parameters/tfpargen.h"
#include "gui/shell/about_box.h"
#include "gui/shell/main_window.h"
#include "gui/shell/project_dialogs.h"
#include "support/gui/fake_message_service.h"
#include "test_support.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <csignal>

using sw::gui::TFMendralFirmWare;
using sw::test::FakeMessageService;
using sw::test::ScriptedDialogs;

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void projectCommandsWithoutProjectShowMessage18AndOpenNothing() {
        sw::test::TempDir dir;
        FakeMessageService messages;
        ScriptedDialogs dialogs;
        TFMendralFirmWare window(dir.path());
        QCOMPARE(window.L_Name_Conf->text(), QStringLiteral("None Configuration Opened "));
        QCOMPARE(window.L_Name_Conf_L2->text(),
                 QStringLiteral("Use Step1 to open or create new configuration"));
        for (QPushButton* button : {window.Btn_Prm_Gen, window.Btn_IEC61850_Client, window.Btn_CreateBin}) {
            button->click();
        }
        QCOMPARE(messages.texts(), QStringList(3, QStringLiteral("Error! Project not Valid")));
        QVERIFY(messages.shown[0].icon == sw::gui::MessageService::Icon::Error);
        QVERIFY(dialogs.opened.empty());
    }

    void newProjectBecomesActiveAndIsPreselectedByOpen() {
        sw::test::TempDir dir;
        FakeMessageService messages;
        std::filesystem::create_directories(dir / "PROJECTS" / "Aaa");
        ScriptedDialogs dialogs([](QDialog* dialog) {
            if (auto* created = qobject_cast<sw::gui::TFNew_Project*>(dialog)) {
                QCOMPARE(created->E_New_Proj->text(), QString());
                QTest::keyClicks(created->E_New_Proj, QStringLiteral("plant"));
                QTest::keyClick(created->E_New_Proj, Qt::Key_Return);
            } else if (auto* open = qobject_cast<sw::gui::TFOpenConf*>(dialog)) {
                QCOMPARE(open->ListBox1->count(), 2);
                QCOMPARE(open->ListBox1->currentItem()->text(), QStringLiteral("plant"));
                open->Btn_OK->click();
            }
        });
        TFMendralFirmWare window(dir.path());
        window.Btn_New->click();
        QVERIFY(messages.shown.empty());
        QVERIFY(std::filesystem::is_directory(dir / "PROJECTS" / "plant" / "bin"));
        QCOMPARE(window.L_Name_Conf->text(), QStringLiteral("Opened Configuration of the Converter : "));
        QCOMPARE(window.L_Name_Conf_L2->text(), QStringLiteral("plant"));
        window.Btn_Open->click();
        QCOMPARE(dialogs.opened.size(), size_t(2));
        window.Btn_Prm_Gen->click();
        QCOMPARE(dialogs.opened.size(), size_t(3));
        QVERIFY(qobject_cast<sw::gui::TFParGen*>(dialogs.opened.back()) != nullptr);
        QCOMPARE(QString::fromStdString(window.state().ActiveProjectName), QStringLiteral("plant"));
    }

    void refusedNameKeepsTheDialogOpenWithTheTypedName() {
        sw::test::TempDir dir;
        FakeMessageService messages;
        sw::gui::TFNew_Project* seen = nullptr;
        ScriptedDialogs dialogs([&seen](QDialog* dialog) {
            seen = qobject_cast<sw::gui::TFNew_Project*>(dialog);
            QTest::keyClicks(seen->E_New_Proj, QStringLiteral("../evil"));
            seen->Btn_OK->click();
            QVERIFY(seen->isVisible());
            seen->Btn_Cancel->click();
        });
        TFMendralFirmWare window(dir.path());
        window.Btn_New->click();
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("Error! Name project is not valid")});
        QCOMPARE(seen->E_New_Proj->text(), QStringLiteral("../evil"));
        QVERIFY(!std::filesystem::exists(dir / "evil"));
        QVERIFY(!window.state().projectActive());
    }

    void openWithoutProjectFoldersLeavesNoProject() {
        sw::test::TempDir dir;
        ScriptedDialogs dialogs([](QDialog* dialog) { dialog->accept(); });
        TFMendralFirmWare window(dir.path());
        window.Btn_Open->click();
        QVERIFY(!window.state().projectActive());
        QCOMPARE(window.L_Name_Conf_L2->text(),
                 QStringLiteral("Use Step1 to open or create new configuration"));
    }

    void languageChangeReappliesTextsAndLinksOpenTheHomePage() {
        sw::test::TempDir dir;
        TFMendralFirmWare window(dir.path());
        window.state().LangTable.Put(15, "Neu");
        window.state().LangTable.Put(9, "Keine");
        window.state().LangTable.Put(100, "Neues Projekt");
        window.Change_Language();
        QCOMPARE(window.Btn_New->text(), QStringLiteral("Neu"));
        QCOMPARE(window.L_Name_Conf->text(), QStringLiteral("Keine"));
        QCOMPARE(window.newProjectDialog()->windowTitle(), QStringLiteral("Neues Projekt"));
        QCOMPARE(window.Btn_Info->toolTip(), QStringLiteral("Information"));
        QCOMPARE(window.windowTitle(),
                 QStringLiteral("Brantis - Configurator SW40512 - IEC61850 Client / Serial "));

        QStringList opened;
        sw::gui::setUrlOpener([&opened](const QString& address) { opened << address; });
        QTest::mouseClick(window.L_Brantis, Qt::LeftButton);
        sw::gui::setUrlOpener({});
        QCOMPARE(opened.size(), 1);
        QVERIFY(opened[0].endsWith(QStringLiteral("/HOME/default.asp?frompg=SW40512")));
    }

    void aboutBoxShowsTheProductAndItsLinksOpenTheHomePage() {
        sw::test::TempDir dir;
        QStringList opened;
        sw::gui::setUrlOpener([&opened](const QString& address) { opened << address; });
        ScriptedDialogs dialogs([](QDialog* dialog) {
            auto* about = qobject_cast<sw::gui::TFAbout*>(dialog);
            QVERIFY(about != nullptr);
            QCOMPARE(about->Label2->text(), QStringLiteral("IEC61850 Client / Serial - Converter"));
            QCOMPARE(about->Label9->text(), QStringLiteral("SW40512"));
            QCOMPARE(about->Label10->text(), QStringLiteral("1.000"));
            QCOMPARE(about->Label12->text(), QStringLiteral("MN40512"));
            QCOMPARE(about->size(), QSize(425, 148));
            QTest::mouseClick(about->Label4, Qt::LeftButton);
            about->LbButton1->click();
        });
        TFMendralFirmWare window(dir.path());
        window.Btn_Info->click();
        sw::gui::setUrlOpener({});
        QCOMPARE(dialogs.opened.size(), size_t(1));
        QCOMPARE(opened, QStringList{sw::gui::makerHomePage()});
    }

    void fixedLayoutFollowsTheStepButtons() {
        sw::test::TempDir dir;
        TFMendralFirmWare window(dir.path());
        QCOMPARE(window.size(), QSize(694, 396));
        QCOMPARE(window.Btn_CreateBin->geometry(), QRect(80, 244, 170, 36));
        QCOMPARE(window.Shape1->geometry().top(), 295);
        QCOMPARE(window.L_Brantis->y(), window.L_Step_4->y());
    }

    void updateDeviceWritesBothImagesOrNothing() {
        sw::test::TempDir dir;
        std::filesystem::create_directories(dir / "PROJECTS" / "P" / "bin");
        sw::test::writeFile(
            dir / "Mendral.xml",
            "<Conf_Settings><lastproj><projectname>P</projectname></lastproj></Conf_Settings>");
        FakeMessageService messages;
        TFMendralFirmWare window(dir.path());
        const auto bin = dir / "PROJECTS" / "P" / "bin";

        sw::test::writeFile(dir / "PROJECTS" / "P" / "ParGen.xml", "<Par_Gen><IEC61850_Client_IP1>");
        window.Btn_CreateBin->click();
        QCOMPARE(messages.shown.size(), size_t(1));
        QVERIFY(messages.shown[0].icon == sw::gui::MessageService::Icon::Error);
        QVERIFY(messages.shown[0].text.contains(QStringLiteral("ParGen.xml")));
        QVERIFY(!std::filesystem::exists(bin / "bank1.bin"));
        QVERIFY(!std::filesystem::exists(bin / "bank2.bin"));

        std::filesystem::remove(dir / "PROJECTS" / "P" / "ParGen.xml");
        window.Btn_CreateBin->click();
        QCOMPARE(messages.shown.size(), size_t(2));
        QVERIFY(messages.shown[1].icon == sw::gui::MessageService::Icon::Information);
        QCOMPARE(std::filesystem::file_size(bin / "bank1.bin"), std::uintmax_t(2048));
        QCOMPARE(std::filesystem::file_size(bin / "bank2.bin"), std::uintmax_t(24));
    }

    void unreadableSettingsFileIsReportedAndKeptAside() {
        sw::test::TempDir dir;
        sw::test::writeFile(dir / "Mendral.xml", "<Conf_Settings><lastproj>");
        FakeMessageService messages;
        TFMendralFirmWare window(dir.path());
        QTRY_COMPARE(messages.shown.size(), size_t(1));
        QVERIFY(messages.shown[0].text.contains(QStringLiteral("Mendral.xml.bad")));
        QVERIFY(std::filesystem::exists(dir / "Mendral.xml.bad"));
    }

    void closingWritesTheSettingsFile() {
        sw::test::TempDir dir;
        {
            TFMendralFirmWare window(dir.path());
            window.state().LastIpAddress = "10.1.2.3";
            window.show();
            window.Btn_Close->click();
        }
        const std::string written = sw::test::readFile(dir / "Mendral.xml");
        QVERIFY(written.find("<ipaddress>10.1.2.3</ipaddress>") != std::string::npos);
    }

    void programStartedInEmptyFolderCreatesFoldersAndSavesOnSigterm() {
        sw::test::TempDir dir;
        const auto program = dir / "sw40512";
        std::filesystem::copy_file(SW_GUI_PATH, program);
        QProcess process;
        process.setProcessEnvironment([] {
            auto environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            return environment;
        }());
        process.start(QString::fromStdString(program.string()), {});
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::is_directory(dir / "LANGUAGE"), 10000);
        QVERIFY(std::filesystem::is_directory(dir / "MASTER"));
        QVERIFY(std::filesystem::is_directory(dir / "PROJECTS"));
        QTest::qWait(300);
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(
            QString::fromStdString(sw::test::readFile(dir / "Mendral.xml")),
            QStringLiteral("<Conf_Settings><lastproj><projectname/></lastproj><lastipadd><ipaddress>"
                           "192.168.2.205</ipaddress></lastipadd><lastlang><language>English</language>"
                           "</lastlang><lastinternet><enable_internet>0</enable_internet><enable_update>0"
                           "</enable_update><enable_jump_field_tables>0</enable_jump_field_tables>"
                           "<Double_Click_Auto_Size>0</Double_Click_Auto_Size></lastinternet>"
                           "</Conf_Settings>"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
