#include "core/language/builtin_texts.h"
#include "core/parameters/parameter_file.h"
#include "core/update/job_file.h"
#include "gui/update/update_dialog.h"
#include "support/gui/fake_message_service.h"
#include "support/gui/layout_checks.h"
#include "test_project.h"
#include "test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <future>
#include <memory>

using sw::AddressCheck;
using sw::gui::UpdateDialog;
using sw::test::FakeMessageService;

namespace {

// A program folder with its state, a starter that records the programs it is asked to run (and ends
// them when told), and a dialog over both.
struct Update {
    Update() {
        sw::fillBuiltinTexts(state.texts);
        state.product.softwareCode = "SW40512";
        state.session.programFolder = dir.path();
        state.session.masterFolder = dir / "MASTER";
        state.session.activeProjectFolder = dir / "PROJECTS" / "P";
        dialog = std::make_unique<UpdateDialog>(
            state, [this](const std::string& program, const std::string& parameter, std::uint8_t hidden,
                          const std::filesystem::path& output,
                          std::function<void(const sw::platform::StartProgramResult&)> ended) {
                started.push_back(program + "|" + parameter + "|" + std::to_string(hidden));
                outputFile = output;
                endProgram = std::move(ended);
            });
    }
    // Every check answers at once with the given outcome, and is counted.
    void checksGive(AddressCheck outcome, int pingRes) {
        dialog->setAddressChecker([this, outcome, pingRes](const std::string& host, std::stop_token) {
            checkedHosts.push_back(host);
            sw::AddressCheckResult result;
            result.outcome = outcome;
            result.replyState = pingRes;
            result.requests = 3;
            return result;
        });
    }
    void typeAddress(const std::array<const char*, 4>& bytes) {
        QLineEdit* edits[] = {dialog->ip1Edit, dialog->ip2Edit, dialog->ip3Edit, dialog->ip4Edit};
        for (std::size_t i = 0; i < 4; ++i) {
            edits[i]->setText(QString::fromUtf8(bytes[i]));
        }
    }
    QString text(int index) const { return QString::fromStdString(state.texts.Get(index)); }
    // The four fields, joined with "|".
    QString fields() const {
        return QStringList{dialog->ip1Edit->text(), dialog->ip2Edit->text(), dialog->ip3Edit->text(),
                           dialog->ip4Edit->text()}
            .join(QLatin1Char('|'));
    }
    bool jobWritten() const { return std::filesystem::exists(sw::jobFile(dir.path())); }

    sw::test::TempDir dir;
    sw::ProgramState state;
    std::unique_ptr<UpdateDialog> dialog;
    std::vector<std::string> started;
    std::vector<std::string> checkedHosts;
    std::function<void(const sw::platform::StartProgramResult&)> endProgram;
    std::filesystem::path outputFile;
};

} // namespace

class UpdateDialogTest : public QObject {
    Q_OBJECT
private slots:
    void answeredCheckRemembersWritesTheJobAndWaitsForTheUpdater() {
        Update update;
        FakeMessageService messages;
        update.checksGive(AddressCheck::Answered, 1);
        update.dialog->show();
        update.typeAddress({"0192", "168", "002", "010"});
        update.dialog->updateOptionsList->setCurrentIndex(2);
        update.dialog->readBackBox->setChecked(false);
        update.dialog->updateButton->click();
        QTRY_COMPARE(update.started.size(), size_t(1));
        // Leading zeros are read as decimal and dropped once: the address pinged is the one remembered and
        // written into the job.
        QCOMPARE(update.checkedHosts, std::vector<std::string>{"192.168.2.10"});
        QVERIFY(messages.shown.empty());
        QCOMPARE(update.started[0], sw::updaterProgram(update.dir.path()).string() + "||0");
        QCOMPARE(update.state.settings.lastIpAddress, std::string("192.168.2.10"));
        QCOMPARE(update.state.settings.updateOptionIndex, 2);
        QVERIFY(!update.state.settings.updateReadBack);
        sw::UpdateJob expected;
        expected.address = "192.168.2.10";
        expected.option = sw::UpdateOption::Configuration;
        expected.readBack = false;
        expected.masterFolder = update.state.session.masterFolder;
        expected.projectFolder = update.state.session.activeProjectFolder;
        QCOMPARE(sw::test::readFile(sw::jobFile(update.dir.path())), sw::jobFileBytes(expected));
        QVERIFY(sw::test::readFile(sw::jobFile(update.dir.path())).find("<IP_Address_Dev>192.168.2.10<") !=
                std::string::npos);

        // While the updater runs no second update starts; the dialog stays open throughout.
        QVERIFY(!update.dialog->updateButton->isEnabled());
        update.dialog->onUpdateClicked();
        QTest::qWait(20);
        QCOMPARE(update.checkedHosts.size(), size_t(1));
        // Its output, as it comes, is the status line; its end is said plainly with its last lines.
        QCOMPARE(update.outputFile,
                 std::filesystem::path(sw::jobFile(update.dir.path())).replace_extension(".log"));
        sw::test::writeFile(update.outputFile,
                            "Operation 1 of 2: send the firmware\nOperation 2 of 2: send the "
                            "variable image\n");
        QTRY_COMPARE(update.dialog->statusLabel->text(),
                     QStringLiteral("Updating … Operation 2 of 2: send the variable image"));
        sw::platform::StartProgramResult ended;
        ended.started = ended.ended = true;
        ended.exitCode = 0;
        update.endProgram(ended);
        QVERIFY(update.dialog->updateButton->isEnabled());
        QVERIFY(update.dialog->isVisible());
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("The update ended successfully.\n\nIts last lines:\n"
                                            "Operation 1 of 2: send the firmware\n"
                                            "Operation 2 of 2: send the variable image")});

        // A failing updater is said to have failed, with its exit status.
        messages.shown.clear();
        update.dialog->updateButton->click();
        QTRY_COMPARE(update.started.size(), size_t(2));
        sw::test::writeFile(update.outputFile, "bank1.bin: The checksum is wrong\n");
        ended.exitCode = 1;
        update.endProgram(ended);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral(
                                       "The update failed: the updater ended with exit status 1.\n\nIts last "
                                       "lines:\nbank1.bin: The checksum is wrong")});
        QVERIFY(messages.shown[0].icon == sw::gui::MessageService::Icon::Error);

        // Reopened in the same run: the choices of the successful update are preselected.
        update.dialog->cancelButton->click();
        update.dialog->show();
        QCOMPARE(update.dialog->updateOptionsList->currentIndex(), 2);
        QVERIFY(!update.dialog->readBackBox->isChecked());
        QCOMPARE(update.fields(), QStringLiteral("192|168|2|10"));
    }

    void failedCheckShowsItsMessageAndRemembersNothing() {
        const struct {
            std::array<const char*, 4> typed;
            AddressCheck outcome;
            int pingRes;
            int text;
            sw::gui::MessageService::Icon icon;
            std::vector<std::string> checked;
        } cases[] = {
            {{"010", "0", "00", "9"},
             AddressCheck::NotFound,
             2,
             1036,
             sw::gui::MessageService::Icon::Warning,
             {"10.0.0.9"}},
            {{"10", "0", "0", "9"},
             AddressCheck::AddressError,
             0,
             1037,
             sw::gui::MessageService::Icon::Error,
             {"10.0.0.9"}},
            // What is not an address is refused before any echo.
            {{"a", "b", "c", "d"}, AddressCheck::Answered, 0, 1037, sw::gui::MessageService::Icon::Error, {}},
            {{"10", "0", "0", "256"},
             AddressCheck::Answered,
             0,
             1037,
             sw::gui::MessageService::Icon::Error,
             {}},
        };
        for (const auto& c : cases) {
            Update update;
            FakeMessageService messages;
            update.checksGive(c.outcome, c.pingRes);
            update.dialog->show();
            update.typeAddress(c.typed);
            update.dialog->updateOptionsList->setCurrentIndex(1);
            update.dialog->updateButton->click();
            QTRY_COMPARE(messages.shown.size(), size_t(1));
            // A device that did not answer: the message names the address and what was tried.
            QCOMPARE(messages.shown[0].text.section(QLatin1Char('\n'), 0, 0), update.text(c.text));
            if (c.outcome == AddressCheck::NotFound) {
                QCOMPARE(messages.shown[0].text.section(QLatin1Char('\n'), 1),
                         QStringLiteral("10.0.0.9 answered 0 of 3 echo requests."));
            }
            QCOMPARE(update.checkedHosts, c.checked);
            QVERIFY(messages.shown[0].icon == c.icon);
            QCOMPARE(update.dialog->replyState, c.pingRes);
            QCOMPARE(update.state.settings.lastIpAddress, std::string(sw::kDefaultDeviceAddress));
            QCOMPARE(update.state.settings.updateOptionIndex, 0);
            QVERIFY(!update.jobWritten());
            QVERIFY(update.started.empty());
            QVERIFY(update.dialog->isVisible());
            QVERIFY(update.dialog->updateButton->isEnabled());
        }
    }

    void theCheckAndTheUpdatersEndAreSaidInTheChosenLanguage() {
        Update update;
        sw::test::speakItalian(update.state.texts);
        FakeMessageService messages;
        update.checksGive(AddressCheck::NotFound, 2);
        update.dialog->show();
        update.typeAddress({"10", "0", "0", "9"});
        update.dialog->updateButton->click();
        QTRY_COMPARE(messages.shown.size(), size_t(1));
        QCOMPARE(messages.shown[0].text.section(QLatin1Char('\n'), 1),
                 QStringLiteral("10.0.0.9 ha risposto a 0 di 3 richieste di echo."));

        messages.shown.clear();
        update.checksGive(AddressCheck::Answered, 1);
        update.dialog->updateButton->click();
        QTRY_COMPARE(update.started.size(), size_t(1));
        sw::platform::StartProgramResult ended;
        ended.started = ended.ended = true;
        ended.exitCode = 4;
        update.endProgram(ended);
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("L'aggiornamento non è riuscito: il programma di aggiornamento è "
                                            "terminato con lo stato 4.")});
    }

    void checkRunsOffTheInterfaceThreadAndCannotBeStartedTwice() {
        Update update;
        FakeMessageService messages;
        std::atomic<int> calls = 0;
        std::atomic<bool> release = false;
        update.dialog->setAddressChecker([&](const std::string&, std::stop_token stop) {
            ++calls;
            while (!release && !stop.stop_requested()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            sw::AddressCheckResult result;
            result.outcome = AddressCheck::Answered;
            result.replyState = 1;
            return result;
        });
        update.dialog->show();
        bool ticked = false;
        QTimer::singleShot(30, update.dialog.get(), [&] { ticked = true; });
        update.dialog->updateButton->click();
        QVERIFY(!update.dialog->updateButton->isEnabled());
        update.dialog->onUpdateClicked();
        QTRY_VERIFY(ticked); // the window goes on handling its events during the check
        QCOMPARE(calls.load(), 1);
        release = true;
        QTRY_COMPARE(update.started.size(), size_t(1));
        update.endProgram({});
        QCOMPARE(messages.texts().size(), 1); // the updater could not be started: said, then cleared here
        messages.shown.clear();

        // Closing the dialog during a check gives it up: no message, nothing remembered or written.
        std::filesystem::remove(sw::jobFile(update.dir.path()));
        update.state.settings.lastIpAddress = "10.0.0.1";
        release = false;
        update.dialog->updateButton->click();
        QTRY_COMPARE(calls.load(), 2);
        update.dialog->cancelButton->click();
        QTRY_VERIFY(update.dialog->updateButton->isEnabled());
        QVERIFY(messages.shown.empty());
        QCOMPARE(update.state.settings.lastIpAddress, std::string("10.0.0.1"));
        QVERIFY(!update.jobWritten());
        QCOMPARE(update.started.size(), size_t(1));
    }

    void lastAddressFillsTheFieldsOnlyWhenItIsAValidAddress() {
        const struct {
            const char* stored;
            const char* fields;
        } cases[] = {
            {"192.168.2.205", "192|168|2|205"},
            {"300.1.1.1", "0|0|0|0"},
            {"", "0|0|0|0"},
            {" 10 . 1 .2. 3 ", "10|1|2|3"},
        };
        for (const auto& c : cases) {
            Update update;
            update.state.settings.lastIpAddress = c.stored;
            update.dialog->show();
            QCOMPARE(update.fields(), QString::fromUtf8(c.fields));
            QCOMPARE(update.dialog->updateOptionsList->currentIndex(), 0);
            QVERIFY(update.dialog->readBackBox->isChecked());
        }
        // Fields typed in this run stay when the stored address does not split.
        Update update;
        update.state.settings.lastIpAddress = "300.1.1.1";
        update.dialog->show();
        update.typeAddress({"1", "2", "3", "4"});
        update.dialog->hide();
        update.dialog->show();
        QCOMPARE(update.fields(), QStringLiteral("1|2|3|4"));
    }

    void theProjectsOwnConverterIsProposedAndTheCheckShowsWhatItIsDoing() {
        Update update;
        std::filesystem::create_directories(update.state.session.activeProjectFolder);
        sw::ParameterSet own;
        own.IEC61850_Client_IP1 = "10";
        own.IEC61850_Client_IP2 = "1";
        own.IEC61850_Client_IP3 = "2";
        own.IEC61850_Client_IP4 = "3";
        sw::writeParameterFile(update.state.session.project().parGenFile(), own);
        update.state.settings.lastIpAddress = "192.168.9.9";
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        update.dialog->setAddressChecker([released](const std::string&, std::stop_token) {
            released.wait();
            return sw::AddressCheckResult{};
        });
        update.dialog->show();
        QCOMPARE(update.fields(), QStringLiteral("10|1|2|3"));
        FakeMessageService messages;
        update.dialog->updateButton->click();
        QCOMPARE(update.dialog->statusLabel->text(), QStringLiteral("Checking 10.1.2.3 …"));
        release.set_value();
        QTRY_VERIFY(!update.dialog->busy());
        QCOMPARE(update.dialog->statusLabel->text(), QString());
    }

    void dotMovesToTheNextByteAndIsSwallowedInTheLast() {
        Update update;
        update.dialog->show();
        QApplication::setActiveWindow(update.dialog.get());
        QVERIFY(QTest::qWaitForWindowActive(update.dialog.get()));
        QCOMPARE(QApplication::focusWidget(), update.dialog->ip1Edit);
        for (QLineEdit* edit : {update.dialog->ip1Edit, update.dialog->ip2Edit, update.dialog->ip3Edit,
                                update.dialog->ip4Edit}) {
            edit->clear();
        }
        QTest::keyClicks(static_cast<QWidget*>(nullptr), QStringLiteral("127.0.0.1.."));
        QCOMPARE(update.fields(), QStringLiteral("127|0|0|1"));
        QCOMPARE(QApplication::focusWidget(), update.dialog->ip4Edit);
    }

    void theOptionListFollowsTheLanguageTableAndTheLayoutIsFixed() {
        Update update;
        for (int index = 1002; index <= 1035; ++index) {
            update.state.texts.Put(index, "changed " + std::to_string(index));
        }
        update.dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(update.dialog.get()));
        UpdateDialog& d = *update.dialog;
        const auto changed = [](int index) { return QStringLiteral("changed %1").arg(index); };
        QCOMPARE(d.windowTitle(), changed(1002));
        QCOMPARE(d.softwareCodeLabel->text(), QStringLiteral("SW40512"));
        // Each showing fills the option list anew from the table.
        QCOMPARE(d.updateOptionsList->count(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(d.updateOptionsList->itemText(i), changed(1015 + i));
        }
        QVERIFY(!d.updateOptionsList->isEditable());

        QCOMPARE(d.size(), QSize(449, 69 + 49 + 72 + 40));
        QCOMPARE(sw::test::layoutProblem({d.titlePanel, d.ipAddressPanel, d.optionsPanel, d.buttonPanel}),
                 QString());
        QCOMPARE(
            sw::test::layoutProblem({d.softwareCodeLabel, d.softwareDescriptionLabel, d.ipAddressLabel,
                                     d.ip1Edit, d.ip2Edit, d.ip3Edit, d.ip4Edit, d.updateOptionLabel,
                                     d.updateOptionsList, d.readBackBox, d.cancelButton, d.updateButton}),
            QString());
        QVERIFY(d.updateButton->x() > d.cancelButton->x());
        QVERIFY(d.updateButton->width() > d.cancelButton->width());
        const QSize size = d.size();
        d.resize(size + QSize(50, 50));
        QCOMPARE(d.size(), size);
    }
};

QTEST_MAIN(UpdateDialogTest)
#include "update_dialog_test.moc"
