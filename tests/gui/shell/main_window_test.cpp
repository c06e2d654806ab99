#include "gui/parameters/parameters_dialog.h"
#include "gui/shell/about_box.h"
#include "gui/shell/main_window.h"
#include "gui/shell/project_dialogs.h"
#include "gui/update/update_dialog.h"
#include "support/gui/fake_message_service.h"
#include "support/gui/layout_checks.h"
#include "support/gui/recording_link_opener.h"
#include "support/gui/scripted_dialogs.h"
#include "test_support.h"

#include <QElapsedTimer>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <csignal>

using sw::gui::MainWindow;
using sw::test::FakeMessageService;
using sw::test::ScriptedDialogs;

namespace {

QString tableText(MainWindow& window, int index) {
    return QString::fromStdString(window.state().texts.Get(index));
}

#ifndef _WIN32
// Starts a copy of the program in its own folder (the program folder is the folder of the executable),
// without a screen.
void startProgramCopy(QProcess& process, const sw::test::TempDir& dir) {
    const auto program = dir / "sw40512";
    std::filesystem::copy_file(SW_GUI_PATH, program);
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(QString::fromStdString(program.string()), {});
    QVERIFY(process.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::is_directory(dir / "LANGUAGE"), 10000);
    // Give the window time to come up, so the signal reaches a running event loop.
    QTest::qWait(300);
}
#endif

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void projectCommandsWithoutProjectShowTheMessageAndOpenNothing() {
        sw::test::TempDir dir;
        FakeMessageService messages;
        ScriptedDialogs dialogs;
        MainWindow window(dir.path());
        QCOMPARE(window.projectCaptionLabel->text(), tableText(window, 9));
        QCOMPARE(window.projectNameLabel->text(), tableText(window, 10));
        window.parametersButton->click();
        window.updateDeviceButton->click();
        QCOMPARE(messages.texts(), QStringList(2, tableText(window, 18)));
        QVERIFY(messages.shown[0].icon == sw::gui::MessageService::Icon::Error);
        QVERIFY(dialogs.opened.empty());
        QVERIFY(!std::filesystem::exists(dir / "PROJECTS" / "bin"));
    }

    void everyCommandIsEnabledWhileAProjectIsActive() {
        sw::test::TempDir dir;
        std::filesystem::create_directories(dir / "PROJECTS" / "P");
        sw::test::writeFile(
            dir / "Mendral.xml",
            "<Conf_Settings><lastproj><projectname>P</projectname></lastproj></Conf_Settings>");
        MainWindow window(dir.path());
        QVERIFY(window.state().session.projectActive());
        for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
                 window.aboutButton, window.optionsButton, window.closeButton, window.newProjectButton,
                 window.openProjectButton, window.parametersButton, window.accessButton,
                 window.updateDeviceButton}) {
            QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
        }
    }

    void newProjectBecomesActiveAndIsPreselectedByOpen() {
        sw::test::TempDir dir;
        FakeMessageService messages;
        std::filesystem::create_directories(dir / "PROJECTS" / "Aaa");
        ScriptedDialogs dialogs([](QDialog* dialog) {
            if (auto* created = qobject_cast<sw::gui::NewProjectDialog*>(dialog)) {
                QCOMPARE(created->projectNameEdit->text(), QString());
                QTest::keyClicks(created->projectNameEdit, QStringLiteral("plant"));
                QTest::keyClick(created->projectNameEdit, Qt::Key_Return);
            } else if (auto* open = qobject_cast<sw::gui::OpenProjectDialog*>(dialog)) {
                QCOMPARE(open->ListBox1->count(), 2);
                QCOMPARE(open->ListBox1->currentItem()->text(), QStringLiteral("plant"));
                open->okButton->click();
            }
        });
        MainWindow window(dir.path());
        window.newProjectButton->click();
        QVERIFY(messages.shown.empty());
        QVERIFY(std::filesystem::is_directory(dir / "PROJECTS" / "plant" / "bin"));
        QCOMPARE(window.projectCaptionLabel->text(), tableText(window, 11));
        QCOMPARE(window.projectNameLabel->text(), QStringLiteral("plant"));
        window.openProjectButton->click();
        QCOMPARE(dialogs.opened.size(), size_t(2));
        window.parametersButton->click();
        QCOMPARE(dialogs.opened.size(), size_t(3));
        QVERIFY(qobject_cast<sw::gui::ParametersDialog*>(dialogs.opened.back()) != nullptr);
        QCOMPARE(QString::fromStdString(window.state().session.activeProjectName), QStringLiteral("plant"));
    }

    void refusedNameKeepsTheDialogOpenWithTheTypedName() {
        sw::test::TempDir dir;
        FakeMessageService messages;
        sw::gui::NewProjectDialog* seen = nullptr;
        ScriptedDialogs dialogs([&seen](QDialog* dialog) {
            seen = qobject_cast<sw::gui::NewProjectDialog*>(dialog);
            QTest::keyClicks(seen->projectNameEdit, QStringLiteral("../evil"));
            seen->okButton->click();
            QVERIFY(seen->isVisible());
            seen->cancelButton->click();
        });
        MainWindow window(dir.path());
        window.newProjectButton->click();
        QCOMPARE(messages.texts(), QStringList{tableText(window, 105)});
        QCOMPARE(seen->projectNameEdit->text(), QStringLiteral("../evil"));
        QVERIFY(!std::filesystem::exists(dir / "evil"));
        QVERIFY(!window.state().session.projectActive());
    }

    void openWithoutProjectFoldersLeavesNoProject() {
        sw::test::TempDir dir;
        ScriptedDialogs dialogs([](QDialog* dialog) { dialog->accept(); });
        MainWindow window(dir.path());
        window.openProjectButton->click();
        QVERIFY(!window.state().session.projectActive());
        QCOMPARE(window.projectNameLabel->text(), tableText(window, 10));
    }

    void aLanguageChangeReachesTheDialogsButNotTheProductCaption() {
        sw::test::TempDir dir;
        MainWindow window(dir.path());
        const QString title = window.windowTitle();
        window.state().texts.Put(100, "changed 100");
        window.changeLanguage();
        QCOMPARE(window.newProjectDialog()->windowTitle(), QStringLiteral("changed 100"));
        // The caption is the product's, not the language's.
        QCOMPARE(window.windowTitle(), title);
    }
    void linksOpenTheHomePage() {
        sw::test::TempDir dir;
        sw::test::RecordingLinkOpener links;
        ScriptedDialogs dialogs([](QDialog* dialog) {
            auto* about = qobject_cast<sw::gui::AboutDialog*>(dialog);
            QVERIFY(about != nullptr);
            QTest::mouseClick(about->makerLink, Qt::LeftButton);
            about->okButton->click();
        });
        MainWindow window(dir.path());
        QTest::mouseClick(window.makerLink, Qt::LeftButton);
        window.aboutButton->click();
        QCOMPARE(dialogs.opened.size(), size_t(1));
        QCOMPARE(links.opened, QStringList(2, sw::gui::makerHomePage()));
        QVERIFY(links.opened[0].endsWith(QStringLiteral("/HOME/default.asp?frompg=SW40512")));
    }

    void aboutBoxShowsTheProductOfTheProgramState() {
        sw::test::TempDir dir;
        ScriptedDialogs dialogs([](QDialog* dialog) { dialog->reject(); });
        MainWindow window(dir.path());
        window.state().product.softwareCode = "CODE";
        window.state().product.softwareDescription = "DESCRIPTION";
        window.aboutButton->click();
        auto* about = window.aboutBox();
        QCOMPARE(about->softwareCodeLabel->text(), QStringLiteral("CODE"));
        QCOMPARE(about->descriptionLabel->text(), QStringLiteral("DESCRIPTION"));
        QVERIFY(!about->versionLabel->text().isEmpty());
    }

    void layoutShowsEveryControlWithoutOverlap() {
        sw::test::TempDir dir;
        MainWindow window(dir.path());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(sw::test::layoutProblem(
                     {window.softwareCodeLabel, window.softwareDescriptionLabel, window.aboutButton,
                      window.optionsButton, window.closeButton, window.beginLabel, window.projectFrame,
                      window.step1Label, window.newProjectButton, window.openProjectButton, window.step2Label,
                      window.parametersButton, window.step3Label, window.accessButton, window.step4Label,
                      window.updateDeviceButton, window.makerLink, window.stepsRule}),
                 QString());
        // The two project lines sit inside their frame, one under the other.
        QCOMPARE(sw::test::layoutProblem({window.projectCaptionLabel, window.projectNameLabel}), QString());
        QVERIFY(window.projectFrame->geometry().contains(window.projectCaptionLabel->geometry()));
        QVERIFY(window.projectFrame->geometry().contains(window.projectNameLabel->geometry()));
        // Fixed in size.
        const QSize size = window.size();
        window.resize(size + QSize(100, 100));
        QCOMPARE(window.size(), size);
    }

    void updateDeviceWritesBothImagesOrNothing() {
        sw::test::TempDir dir;
        std::filesystem::create_directories(dir / "PROJECTS" / "P" / "bin");
        sw::test::writeFile(
            dir / "Mendral.xml",
            "<Conf_Settings><lastproj><projectname>P</projectname></lastproj></Conf_Settings>");
        FakeMessageService messages;
        ScriptedDialogs dialogs;
        MainWindow window(dir.path());
        const sw::ProjectPaths paths = window.state().session.project();

        sw::test::writeFile(paths.parGenFile(), "<Par_Gen><IEC61850_Client_IP1>");
        window.updateDeviceButton->click();
        QCOMPARE(messages.shown.size(), size_t(1));
        QVERIFY(messages.shown[0].icon == sw::gui::MessageService::Icon::Error);
        QVERIFY(messages.shown[0].text.contains(QStringLiteral("ParGen.xml")));
        QVERIFY(!std::filesystem::exists(paths.parameterImage()));
        QVERIFY(!std::filesystem::exists(paths.variableImage()));

        QVERIFY(dialogs.opened.empty());

        // Built: the update dialog opens in its Ethernet mode.
        std::filesystem::remove(paths.parGenFile());
        window.updateDialog()->connectionMode = 0;
        window.updateDeviceButton->click();
        QCOMPARE(messages.shown.size(), size_t(1));
        QCOMPARE(std::filesystem::file_size(paths.parameterImage()), std::uintmax_t(2048));
        QCOMPARE(std::filesystem::file_size(paths.variableImage()), std::uintmax_t(24));
        QCOMPARE(dialogs.opened, std::vector<QDialog*>{window.updateDialog()});
        QCOMPARE(window.updateDialog()->connectionMode, 1);
    }

    void updateRunsTheUpdaterBesideTheProgramAndKeepsTheWindowPainted() {
#ifdef _WIN32
        QSKIP("the stand-in updater runs behind a POSIX shell wrapper that keeps its verdict");
#endif
        sw::test::TempDir dir;
        std::filesystem::create_directories(dir / "PROJECTS" / "P" / "bin");
        std::filesystem::create_directories(dir / "MASTER");
        sw::test::writeFile(dir / "MASTER" / "Sim40512.sim", "firmware placeholder");
        // The stand-in records its verdict where the test can see it.
        const std::string verdict = (dir / "verdict").string();
        sw::test::writeFile(dir / "Ethernet_Update", "#!/bin/sh\n'" +
                                                         (dir / "Ethernet_Update-copy").string() + "' > '" +
                                                         verdict + "' 2>&1; echo $? >> '" + verdict + "'\n");
        std::filesystem::permissions(dir / "Ethernet_Update", std::filesystem::perms::owner_all);
        std::filesystem::copy_file(SW_UPDATER_PATH, dir / "Ethernet_Update-copy");
        sw::test::writeFile(
            dir / "Mendral.xml",
            "<Conf_Settings><lastproj><projectname>P</projectname></lastproj></Conf_Settings>");
        FakeMessageService messages;
        bool ticked = false;
        ScriptedDialogs dialogs([&](QDialog* dialog) {
            auto* boot = qobject_cast<sw::gui::UpdateDialog*>(dialog);
            QVERIFY(boot != nullptr);
            boot->setAddressChecker([](const std::string&, std::stop_token) {
                sw::AddressCheckResult answered;
                answered.outcome = sw::AddressCheck::Answered;
                answered.replyState = 1;
                return answered;
            });
            boot->ip1Edit->setText(QStringLiteral("127"));
            boot->ip2Edit->setText(QStringLiteral("0"));
            boot->ip3Edit->setText(QStringLiteral("0"));
            boot->ip4Edit->setText(QStringLiteral("1"));
            boot->updateButton->click();
            QTRY_VERIFY(boot->busy());
            QTimer::singleShot(10, boot, [&ticked] { ticked = true; });
            QTRY_VERIFY_WITH_TIMEOUT(!boot->busy(), 10000);
        });
        MainWindow window(dir.path());
        window.updateDeviceButton->click();
        QVERIFY(ticked);
        // The updater's end is said in the window, with what it printed last.
        QCOMPARE(messages.shown.size(), std::size_t{1});
        QVERIFY2(messages.shown[0].text.startsWith(QStringLiteral("The update ended successfully.")),
                 qPrintable(messages.shown[0].text));
        QCOMPARE(window.state().settings.lastIpAddress, std::string("127.0.0.1"));
        const std::string said = sw::test::readFile(dir / "verdict");
        QVERIFY2(said.find("Nothing was sent") != std::string::npos && said.ends_with("\n0\n"), said.c_str());
    }

    void unreadableSettingsFileIsReportedAndKeptAside() {
        sw::test::TempDir dir;
        sw::test::writeFile(dir / "Mendral.xml", "<Conf_Settings><lastproj>");
        FakeMessageService messages;
        MainWindow window(dir.path());
        QTRY_COMPARE(messages.shown.size(), size_t(1));
        QVERIFY(messages.shown[0].text.contains(QStringLiteral("Mendral.xml.bad")));
        QVERIFY(std::filesystem::exists(dir / "Mendral.xml.bad"));
    }

    void closingWritesTheSettingsFile() {
        sw::test::TempDir dir;
        int status = -1;
        {
            MainWindow window(dir.path());
            window.state().settings.lastIpAddress = "10.1.2.3";
            window.show();
            window.closeButton->click();
            status = window.exitStatus();
        }
        QCOMPARE(status, 0);
        const std::string written = sw::test::readFile(dir / "Mendral.xml");
        QVERIFY(written.find("<ipaddress>10.1.2.3</ipaddress>") != std::string::npos);
    }

    void unsavableSettingsAreShownToAPersonButNeverOnASignalClose() {
        for (const bool bySignal : {false, true}) {
            sw::test::TempDir dir;
            std::filesystem::create_directory(dir / "Mendral.xml");
            FakeMessageService messages;
            MainWindow window(dir.path());
            QTRY_COMPARE(messages.shown.size(), size_t(1)); // the unreadable settings at start
            messages.shown.clear();
            window.show();
            window.aboutBox()->show();
            if (bySignal) {
                window.closeOnSignal();
            } else {
                window.close();
            }
            QVERIFY(!window.isVisible());
            QCOMPARE(window.exitStatus(), 1);
            QCOMPARE(messages.shown.size(), size_t(bySignal ? 0 : 1));
            // A signal leaves no dialog waiting for an answer.
            QCOMPARE(window.aboutBox()->isVisible(), !bySignal);
        }
    }

    void startProgramWaitsWithoutHoldingTheWindow() {
        sw::test::TempDir dir;
        MainWindow window(dir.path());
        bool ticked = false;
        bool ended = false;
        bool onInterfaceThread = false;
        bool tickedBeforeEnd = false;
        QTimer::singleShot(20, &window, [&] { ticked = true; });
        window.startProgram("/bin/sleep", "0.5", 1, [&](const sw::platform::StartProgramResult& result) {
            ended = result.started && result.ended;
            onInterfaceThread = QThread::currentThread() == window.thread();
            tickedBeforeEnd = ticked;
        });
        // Back before the program's end, which reaches the window only through its event loop.
        QVERIFY(!ended);
        QTRY_VERIFY_WITH_TIMEOUT(ended, 5000);
        QVERIFY(onInterfaceThread);
        QVERIFY(tickedBeforeEnd);
    }

    void closingDuringAWaitGivesItUpAtOnce() {
#ifdef _WIN32
        QSKIP("waits on the POSIX /bin/sleep, which Wine starts as a program of its host that it does not "
              "wait for");
#endif
        sw::test::TempDir dir;
        bool called = false;
        QElapsedTimer clock;
        {
            MainWindow window(dir.path());
            window.startProgram("/bin/sleep", "2", 1,
                                [&called](const sw::platform::StartProgramResult&) { called = true; });
            QTest::qWait(50);
            clock.start();
        }
        QVERIFY(clock.elapsed() < 1000);
        QTest::qWait(50);
        QVERIFY(!called);
    }

    void programStartedInEmptyFolderCreatesFoldersAndSavesOnSigterm() {
#ifdef _WIN32
        QSKIP("Windows has no SIGTERM; a close arrives there as the window's close message");
#else
        sw::test::TempDir dir;
        QProcess process;
        startProgramCopy(process, dir);
        QVERIFY(std::filesystem::is_directory(dir / "MASTER"));
        QVERIFY(std::filesystem::is_directory(dir / "PROJECTS"));
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
#endif
    }

    void sigtermWithUnwritableSettingsEndsWithAnErrorOnStandardError() {
#ifdef _WIN32
        QSKIP("Windows has no SIGTERM; a close arrives there as the window's close message");
#else
        sw::test::TempDir dir;
        std::filesystem::create_directory(dir / "Mendral.xml");
        QProcess process;
        startProgramCopy(process, dir);
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        QVERIFY2(process.waitForFinished(5000), "the program still runs after SIGTERM");
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QVERIFY(process.exitCode() != 0);
        const QString error = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(error.contains(QStringLiteral("Mendral.xml")), qPrintable(error));
#endif
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
