#include "core/language/builtin_texts.h"
#include "core/options/version_check.h"
#include "gui/options/options_dialog.h"
#include "gui/options/version_checker.h"
#include "gui/parameters/parameters_dialog.h"
#include "gui/shell/main_window.h"
#include "gui/shell/project_dialogs.h"
#include "support/gui/fake_message_service.h"
#include "support/gui/layout_checks.h"
#include "support/gui/recording_link_opener.h"
#include "support/gui/scripted_dialogs.h"
#include "test_project.h"
#include "test_support.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <chrono>

using namespace std::chrono_literals;
using sw::gui::MainWindow;
using sw::gui::MessageService;
using sw::gui::OptionsDialog;
using sw::test::FakeMessageService;
using sw::test::ScriptedDialogs;
using sw::test::TempDir;

namespace {

// What a version check gives back, without asking any service.
sw::VersionCheckResult answer(bool newer) {
    sw::VersionCheckResult result;
    result.outcome =
        newer ? sw::VersionCheckResult::Outcome::Newer : sw::VersionCheckResult::Outcome::NotNewer;
    return result;
}

sw::VersionCheckResult failure(sw::VersionCheckFailure why, std::string detail = {}) {
    sw::VersionCheckResult result;
    result.failure = why;
    result.detail = std::move(detail);
    return result;
}

// The program state of a program folder whose LANGUAGE folder holds the named language files.
struct OptionsFixture {
    explicit OptionsFixture(std::initializer_list<std::string> languages) {
        state.session.languageFolder = dir.path();
        sw::fillBuiltinTexts(state.texts);
        for (const std::string& name : languages) {
            sw::test::writeFile(dir / (name + ".lng"), "STR0000 = " + name + "\n");
        }
    }
    TempDir dir;
    sw::ProgramState state;
};

void writePicture(const std::filesystem::path& file, Qt::GlobalColor colour) {
    QImage picture(48, 48, QImage::Format_RGB32);
    picture.fill(colour);
    QVERIFY(picture.save(QString::fromStdString(file.string()), "BMP"));
}

// The names in the six slots, "" for a hidden one, joined by commas.
QString shownNames(const OptionsDialog& dialog) {
    QStringList names;
    for (QLabel* label : dialog.languageLabels) {
        names << (label->isVisible() ? label->text() : QString());
    }
    return names.join(QLatin1Char(','));
}

QString pictureColour(const QLabel* image) {
    return image->pixmap().toImage().pixelColor(10, 10).name();
}

// A program folder with the language files the program ships.
void copyShippedLanguages(const TempDir& dir) {
    const auto shipped = std::filesystem::path(SW_GUI_PATH).parent_path() / "LANGUAGE";
    std::filesystem::create_directory(dir / "LANGUAGE");
    for (const auto& entry : std::filesystem::directory_iterator(shipped)) {
        std::filesystem::copy_file(entry.path(), dir / "LANGUAGE" / entry.path().filename());
    }
}

} // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void sevenLanguagesMakeTwoPages() {
        OptionsFixture fixture({"G", "b", "A", "C", "d", "E", "F"});
        OptionsDialog dialog(fixture.state);
        dialog.show();
        QCOMPARE(shownNames(dialog), QStringLiteral("A,b,C,d,E,F"));
        QCOMPARE(dialog.languagePageLabel->text(), QStringLiteral("Page 1 / 2"));
        QCOMPARE(dialog.selectedLanguageLabel->text(), QStringLiteral("Selected Language : English"));
        QVERIFY(!dialog.prevButton->isVisible());
        QVERIFY(dialog.nextButton->isVisible());
        QCOMPARE(dialog.pages->currentWidget(), dialog.languageTab);

        dialog.nextButton->click();
        QCOMPARE(shownNames(dialog), QStringLiteral("G,,,,,"));
        for (std::size_t k = 1; k < 6; ++k) {
            QVERIFY(!dialog.flagLabels[k]->isVisible());
        }
        QCOMPARE(dialog.languagePageLabel->text(), QStringLiteral("Page 2 / 2"));
        QVERIFY(dialog.prevButton->isVisible());
        QVERIFY(!dialog.nextButton->isVisible());
        dialog.prevButton->click();
        QCOMPARE(dialog.shownPage, 1);
        QCOMPARE(dialog.languageLabels[0]->text(), QStringLiteral("A"));
    }

    void sixLanguagesMakeOnePageWithoutPaging() {
        OptionsFixture fixture({"A", "B", "C", "D", "E", "F"});
        OptionsDialog dialog(fixture.state);
        dialog.show();
        QCOMPARE(shownNames(dialog), QStringLiteral("A,B,C,D,E,F"));
        QCOMPARE(dialog.languagePageLabel->text(), QStringLiteral("Page 1 / 1"));
        QVERIFY(!dialog.prevButton->isVisible());
        QVERIFY(!dialog.nextButton->isVisible());
    }

    void noLanguageFileShowsNoSlotAndPageOneOfNone() {
        OptionsFixture fixture({});
        OptionsDialog dialog(fixture.state);
        dialog.show();
        QCOMPARE(shownNames(dialog), QStringLiteral(",,,,,"));
        QCOMPARE(dialog.languagePageLabel->text(), QStringLiteral("Page 1 / 0"));
        QVERIFY(!dialog.prevButton->isVisible());
        QVERIFY(dialog.nextButton->isVisible());
        dialog.nextButton->click();
        QCOMPARE(dialog.languagePageLabel->text(), QStringLiteral("Page 1 / 0"));
    }

    void flagsFallBackToTheDefaultFlagThenToNoPicture() {
        OptionsFixture fixture({"Alpha", "Beta"});
        {
            OptionsDialog dialog(fixture.state);
            dialog.show();
            QVERIFY(!dialog.flagLabels[0]->isVisible());
            QVERIFY(dialog.languageLabels[0]->isVisible());
        }
        writePicture(fixture.dir / "Alpha.bmp", Qt::red);
        writePicture(fixture.dir / "DefaultFlag.bmp", Qt::blue);
        OptionsDialog dialog(fixture.state);
        dialog.show();
        QCOMPARE(pictureColour(dialog.flagLabels[0]), QStringLiteral("#ff0000"));
        QCOMPARE(pictureColour(dialog.flagLabels[1]), QStringLiteral("#0000ff"));
        QVERIFY(dialog.flagLabels[1]->isVisible());
    }

    void layoutShowsAFullPageWithoutOverlapInAFixedSize() {
        OptionsFixture fixture({"A", "B", "C", "D", "E", "F", "G"});
        writePicture(fixture.dir / "DefaultFlag.bmp", Qt::blue);
        OptionsDialog dialog(fixture.state);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        std::vector<QWidget*> controls = {dialog.selectedLanguageLabel, dialog.languagePageLabel,
                                          dialog.nextButton, dialog.okButton, dialog.cancelButton};
        controls.insert(controls.end(), dialog.flagLabels.begin(), dialog.flagLabels.end());
        controls.insert(controls.end(), dialog.languageLabels.begin(), dialog.languageLabels.end());
        QCOMPARE(sw::test::layoutProblem(controls), QString());
        // Slots 1 to 3 run down the left column, 4 to 6 down the right one.
        QVERIFY(dialog.languageLabels[1]->mapTo(&dialog, QPoint()).y() >
                dialog.languageLabels[0]->mapTo(&dialog, QPoint()).y());
        QVERIFY(dialog.languageLabels[3]->mapTo(&dialog, QPoint()).x() >
                dialog.languageLabels[2]->mapTo(&dialog, QPoint()).x());
        QCOMPARE(dialog.size(), QSize(509, 373));
    }

    void answeringNoToTheLanguageQuestionChangesNothing() {
        OptionsFixture fixture({"English", "Other"});
        FakeMessageService messages;
        messages.answers = {MessageService::Answer::No};
        OptionsDialog dialog(fixture.state);
        dialog.show();
        QTest::mouseClick(dialog.languageLabels[1], Qt::LeftButton);
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("Do you want to change the Language from English to Other?")});
        QVERIFY(messages.shown[0].buttons == MessageService::Buttons::YesNo);
        QCOMPARE(dialog.chosenLanguage, std::string("English"));
        QCOMPARE(fixture.state.texts.Get(0), std::string("Begin"));
    }

    void checkButtonShowsTheAnswerWithoutHoldingTheWindow() {
        OptionsFixture fixture({});
        sw::test::RecordingLinkOpener links;
        fixture.state.settings.enableInternet = true;
        fixture.state.settings.enableUpdateCheck = true;
        OptionsDialog dialog(fixture.state);
        std::atomic<bool> release{false};
        std::atomic<int> outcome{0}; // 0 newer, 1 not newer, 2 an HTTP 500, 3 no answer in time
        dialog.versionChecker()->setCheck([&](std::stop_token stop) {
            while (!release && !stop.stop_requested()) {
                std::this_thread::sleep_for(1ms);
            }
            switch (outcome.load()) {
            case 0:
                return answer(true);
            case 1:
                return answer(false);
            case 2:
                return failure(sw::VersionCheckFailure::HttpStatus, "500");
            default:
                return failure(sw::VersionCheckFailure::TimedOut, "Operation timed out after 400 ms");
            }
        });
        dialog.show();
        QVERIFY(dialog.checkUpdateLink->isHidden());
        QVERIFY(dialog.checkUpdateButton->isEnabled());
        dialog.checkUpdateButton->click();
        // The window goes on while the service is asked.
        QTest::qWait(50);
        QVERIFY(dialog.checkUpdateLink->isHidden());
        release = true;
        QTRY_VERIFY(!dialog.checkUpdateLink->isHidden());
        QCOMPARE(dialog.checkUpdateLink->text(),
                 QStringLiteral("<a href=\"%1\">New Version Available. Click Here for more Details</a>")
                     .arg(QString::fromStdString(sw::downloadPageAddress())));
        emit dialog.checkUpdateLink->linkActivated(QString::fromStdString(sw::downloadPageAddress()));
        QCOMPARE(links.opened, QStringList{QString::fromStdString(sw::downloadPageAddress())});

        outcome = 1;
        dialog.checkUpdateButton->click();
        QTRY_COMPARE(dialog.checkUpdateLink->text(), QStringLiteral("No Update Available"));
        // A check that could not tell says so, with its reason from the string table: never "no update".
        outcome = 2;
        dialog.checkUpdateButton->click();
        QTRY_COMPARE(dialog.checkUpdateLink->text(),
                     QStringLiteral("Could not check for a newer version (the service answered with HTTP "
                                    "status 500)."));
        outcome = 3;
        dialog.checkUpdateButton->click();
        QTRY_COMPARE(
            dialog.checkUpdateLink->text(),
            QStringLiteral("Could not check for a newer version (the service did not answer in time)."));
        sw::test::speakItalian(fixture.state.texts);
        outcome = 2;
        dialog.checkUpdateButton->click();
        QTRY_COMPARE(
            dialog.checkUpdateLink->text(),
            QStringLiteral("Impossibile verificare se esiste una versione più recente (il servizio ha "
                           "risposto con lo stato HTTP 500)."));
        // Each showing starts without an answer.
        dialog.hide();
        dialog.show();
        QVERIFY(dialog.checkUpdateLink->isHidden());
    }

    void uncheckingInternetDisablesUpdateKeepsItsMarkAndTheTimerStaysOff() {
        TempDir dir;
        sw::test::writeFile(dir / "Mendral.xml",
                            "<Conf_Settings><lastinternet><enable_internet>1</enable_internet>"
                            "<enable_update>1</enable_update></lastinternet></Conf_Settings>");
        ScriptedDialogs dialogs([](QDialog* dialog) {
            auto* options = qobject_cast<OptionsDialog*>(dialog);
            QVERIFY(options->enableConnectionBox->isChecked());
            QVERIFY(options->updateBox->isEnabled());
            QVERIFY(options->checkUpdateButton->isEnabled());
            options->pages->setCurrentWidget(options->connectionTab);
            options->enableConnectionBox->click();
            QVERIFY(!options->updateBox->isEnabled());
            QVERIFY(options->updateBox->isChecked());
            QVERIFY(!options->checkUpdateButton->isEnabled());
            options->okButton->click();
        });
        MainWindow window(dir.path());
        window.setVersionCheck([](std::stop_token) { return answer(true); });
        QVERIFY(window.updateTimer->isActive());
        QCOMPARE(std::chrono::milliseconds(window.updateTimer->interval()), MainWindow::kFirstUpdateCheck);
        window.optionsButton->click();
        QCOMPARE(dialogs.opened.size(), size_t(1));
        QVERIFY(!window.state().settings.enableInternet);
        QVERIFY(window.state().settings.enableUpdateCheck);
        QVERIFY(!window.updateTimer->isActive());
        const std::string saved = sw::test::readFile(dir / "Mendral.xml");
        QVERIFY(saved.find("<enable_internet>0</enable_internet><enable_update>1</enable_update>") !=
                std::string::npos);
    }

    void turningBothOptionsOnChecksFirstAfterItsIntervalThenShowsTheLink() {
        TempDir dir;
        sw::test::RecordingLinkOpener links;
        ScriptedDialogs dialogs([](QDialog* dialog) {
            auto* options = qobject_cast<OptionsDialog*>(dialog);
            options->enableConnectionBox->click();
            options->updateBox->click();
            options->okButton->click();
        });
        MainWindow window(dir.path());
        std::atomic<int> checks{0};
        window.setVersionCheck([&checks](std::stop_token) {
            ++checks;
            return answer(true);
        });
        window.setUpdateIntervals(100ms, 1h);
        QVERIFY(!window.updateTimer->isActive());
        window.optionsButton->click();
        QVERIFY(window.updateTimer->isActive());
        QVERIFY(!window.updateLink->isVisible());
        window.show();
        QTRY_VERIFY(window.updateLink->isVisible());
        QCOMPARE(checks.load(), 1);
        QVERIFY(window.updateLink->text().contains(
            QStringLiteral(">New Version Available. Click Here for more Details<")));
        emit window.updateLink->linkActivated(QString::fromStdString(sw::downloadPageAddress()));
        QCOMPARE(links.opened, QStringList{QString::fromStdString(sw::downloadPageAddress())});
        // Then every later interval for as long as both options stay on.
        QVERIFY(window.updateTimer->isActive());
        QCOMPARE(std::chrono::milliseconds(window.updateTimer->interval()), std::chrono::milliseconds(1h));
        QVERIFY(sw::test::readFile(dir / "Mendral.xml")
                    .find("<enable_internet>1</enable_internet><enable_update>1") != std::string::npos);

        // An answer that finds nothing newer takes the link away again.
        window.setVersionCheck([](std::stop_token) { return answer(false); });
        window.setUpdateIntervals(100ms, 50ms);
        QTRY_VERIFY(!window.updateLink->isVisible());
        // A periodic check that fails says nothing at all, and the checks go on.
        FakeMessageService messages;
        window.setVersionCheck([&checks](std::stop_token) {
            ++checks;
            return failure(sw::VersionCheckFailure::Unreachable);
        });
        const int before = checks.load();
        QTRY_VERIFY(checks.load() >= before + 2);
        QVERIFY(!window.updateLink->isVisible());
        QVERIFY(messages.shown.empty());
    }

    void pickingALanguageChangesEveryWindowAtOnceAndCancelKeepsTheStoredOne() {
        TempDir dir;
        copyShippedLanguages(dir);
        FakeMessageService messages;
        ScriptedDialogs dialogs([](QDialog* dialog) {
            auto* options = qobject_cast<OptionsDialog*>(dialog);
            QCOMPARE(options->languageLabels[1]->text(), QStringLiteral("Italiano"));
            QVERIFY(options->flagLabels[1]->isVisible());
            QTest::mouseClick(options->flagLabels[1], Qt::LeftButton);
            QCOMPARE(options->selectedLanguageLabel->text(), QStringLiteral("Lingua selezionata : Italiano"));
            QCOMPARE(options->languagePageLabel->text(), QStringLiteral("Pagina 1 / 1"));
            QCOMPARE(options->cancelButton->text(), QStringLiteral("Annulla"));
            options->cancelButton->click();
        });
        MainWindow window(dir.path());
        QCOMPARE(window.newProjectButton->text(), QStringLiteral("New Configuration"));
        window.optionsButton->click();
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("Do you want to change the Language from English to Italiano?")});
        QCOMPARE(window.newProjectButton->text(), QStringLiteral("Nuova configurazione"));
        QCOMPARE(window.optionsButton->toolTip(), QStringLiteral("Opzioni"));
        QCOMPARE(window.projectCaptionLabel->text(), QStringLiteral("Nessuna configurazione aperta "));
        QCOMPARE(window.newProjectDialog()->windowTitle(), QStringLiteral("Crea nuova configurazione"));
        QCOMPARE(window.openDialog()->cancelButton->text(), QStringLiteral("Annulla"));
        QCOMPARE(window.parametersDialog()->windowTitle(), QStringLiteral("Imposta comunicazione"));
        QCOMPARE(window.optionsDialog()->windowTitle(), QStringLiteral("Opzioni del software"));
        // Cancel stored nothing: the next start is English again.
        QCOMPARE(window.state().settings.languageName, std::string("English"));
        QVERIFY(!std::filesystem::exists(dir / "Mendral.xml"));
        window.close();
        QVERIFY(sw::test::readFile(dir / "Mendral.xml").find("<language>English</language>") !=
                std::string::npos);
        QCOMPARE(window.newProjectButton->text(), QStringLiteral("Nuova configurazione"));
    }

    void okStoresThePickedLanguageAtOnce() {
        TempDir dir;
        copyShippedLanguages(dir);
        FakeMessageService messages;
        ScriptedDialogs dialogs([](QDialog* dialog) {
            auto* options = qobject_cast<OptionsDialog*>(dialog);
            options->onLanguageClicked(2);
            options->okButton->click();
        });
        MainWindow window(dir.path());
        window.optionsButton->click();
        QCOMPARE(window.state().settings.languageName, std::string("Italiano"));
        QVERIFY(sw::test::readFile(dir / "Mendral.xml").find("<language>Italiano</language>") !=
                std::string::npos);
        // The next start comes up in the stored language.
        MainWindow next(dir.path());
        QCOMPARE(next.newProjectButton->text(), QStringLiteral("Nuova configurazione"));
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"
