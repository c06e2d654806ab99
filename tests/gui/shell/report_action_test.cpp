#include "core/common/path_text.h"
#include "gui/shell/main_window.h"
#include "support/gui/fake_message_service.h"
#include "support/gui/layout_checks.h"
#include "support/gui/recording_link_opener.h"
#include "test_support.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <filesystem>

using sw::gui::MainWindow;

class ReportActionTest : public QObject {
    Q_OBJECT
private slots:
    void reportIsWrittenIntoTheProjectAndOpenedThroughTheLinkOpener() {
        sw::test::TempDir dir;
        sw::test::FakeMessageService messages;
        sw::test::RecordingLinkOpener links;
        MainWindow window(dir.path());

        // Without a project: the usual message and nothing opened.
        window.reportButton->click();
        QCOMPARE(messages.shown.size(), std::size_t{1});
        QVERIFY(links.opened.isEmpty());

        // A name beyond ASCII reaches the link as the same letters.
        const std::filesystem::path project = dir / "PROJECTS" / sw::pathFromUtf8("Bay 7 \u00dc");
        std::filesystem::create_directories(project);
        window.state().session.activeProjectFolder = project;
        window.reportButton->click();
        QTRY_COMPARE(links.opened.size(), 1);
        QCOMPARE(messages.shown.size(), std::size_t{1});
        const std::filesystem::path report = project / "Commissioning_Report.html";
        QVERIFY(std::filesystem::exists(report));
        QCOMPARE(links.opened.front(),
                 QUrl::fromLocalFile(QString::fromStdString(dir.path().string()) +
                                     QStringLiteral("/PROJECTS/Bay 7 \u00dc/Commissioning_Report.html"))
                     .toString());
        QVERIFY(sw::test::readFile(report).find("<h2>Data-array map</h2>") != std::string::npos);
    }

    void reportButtonSitsBesideStepFourWithoutOverlap() {
        sw::test::TempDir dir;
        MainWindow window(dir.path());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(sw::test::layoutProblem({window.step4Label, window.updateDeviceButton, window.reportButton,
                                          window.makerLink, window.stepsRule}),
                 QString());
    }
};

QTEST_MAIN(ReportActionTest)
#include "report_action_test.moc"
