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
    for (QLabel* label : dialog.L_L) {
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
        QCOMPARE(dialog.L_Page_Lang->text(), QStringLiteral("Page 1 / 2"));
        QCOMPARE(dialog.L_Sel_Lang->text(), QStringLiteral("Selected Language : English"));
        QVERIFY(!dialog.Btn_Prev->isVisible());
        QVERIFY(dialog.Btn_Next->isVisible());
        QCOMPARE(dialog.PC_Options->currentWidget(), dialog.TS_Language);

        dialog.Btn_Next->click();
        QCOMPARE(shownNames(dialog), QStringLiteral("G,,,,,"));
        for (std::size_t k = 1; k < 6; ++k) {
            QVERIFY(!dialog.I_L[k]->isVisible());
        }
        QCOMPARE(dialog.L_Page_Lang->text(), QStringLiteral("Page 2 / 2"));
        QVERIFY(dialog.Btn_Prev->isVisible());
        QVERIFY(!dialog.Btn_Next->isVisible());
        dialog.Btn_Prev->click();
        QCOMPARE(dialog.showPage, 1);
        QCOMPARE(dialog.L_L[0]->text(), QStringLiteral("A"));
    }

    void sixLanguagesMakeOnePageWithoutPaging() {
        OptionsFixture fixture({"A", "B", "C", "D", "E", "F"});
        OptionsDialog dialog(fixture.state);
        dialog.show();
        QCOMPARE(shownNames(dialog), QStringLiteral("A,B,C,D,E,F"));
        QCOMPARE(dialog.L_Page_Lang->text(), QStringLiteral("Page 1 / 1"));
        QVERIFY(!dialog.Btn_Prev->isVisible());
        QVERIFY(!dialog.Btn_Next->isVisible());
    }

    void noLanguageFileShowsNoSlotAndPageOneOfNone() {
        OptionsFixture fixture({});
        OptionsDialog dialog(fixture.state);
        dialog.show();
        QCOMPARE(shownNames(dialog), QStringLiteral(",,,,,"));
        QCOMPARE(dialog.L_Page_Lang->text(), QStringLiteral("Page 1 / 0"));
        QVERIFY(!dialog.Btn_Prev->isVisible());
        QVERIFY(dialog.Btn_Next->isVisible());
        dialog.Btn_Next->click();
        QCOMPARE(dialog.L_Page_Lang->text(), QStringLiteral("Page 1 / 0"));
    }

    void flagsFallBackToTheDefaultFlagThenToNoPicture() {
        OptionsFixture fixture({"Alpha", "Beta"});
        {
            OptionsDialog dialog(fixture.state);
            dialog.show();
            QVERIFY(!dialog.I_L[0]->isVisible());
            QVERIFY(dialog.L_L[0]->isVisible());
        }
        writePicture(fixture.dir / "Alpha.bmp", Qt::red);
        writePicture(fixture.dir / "DefaultFlag.bmp", Qt::blue);
        OptionsDialog dialog(fixture.state);
        dialog.show();
        QCOMPARE(pictureColour(dialog.I_L[0]), QStringLiteral("#ff0000"));
        QCOMPARE(pictureColour(dialog.I_L[1]), QStringLiteral("#0000ff"));
        QVERIFY(dialog.I_L[1]->isVisible());
    }

    void layoutShowsAFullPageWithoutOverlapInAFixedSize() {
        OptionsFixture fixture({"A", "B", "C", "D", "E", "F", "G"});
        writePicture(fixture.dir / "DefaultFlag.bmp", Qt::blue);
        OptionsDialog dialog(fixture.state);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        std::vector<QWidget*> controls = {dialog.L_Sel_Lang, dialog.L_Page_Lang, dialog.Btn_Next,
                                          dialog.Btn_OK, dialog.Btn_Cancel};
        controls.insert(controls.end(), dialog.I_L.begin(), dialog.I_L.end());
        controls.insert(controls.end(), dialog.L_L.begin(), dialog.L_L.end());
        QCOMPARE(sw::test::layoutProblem(controls), QString());
        // Slots 1 to 3 run down the left column, 4 to 6 down the right one.
        QVERIFY(dialog.L_L[1]->mapTo(&dialog, QPoint()).y() > dialog.L_L[0]->mapTo(&dialog, QPoint()).y());
        QVERIFY(dialog.L_L[3]->mapTo(&dialog, QPoint()).x() > dialog.L_L[2]->mapTo(&dialog, QPoint()).x());
        QCOMPARE(dialog.size(), QSize(509, 373));
    }

    void answeringNoToTheLanguageQuestionChangesNothing() {
        OptionsFixture fixture({"English", "Other"});
        FakeMessageService messages;
        messages.answers = {MessageService::Answer::No};
        OptionsDialog dialog(fixture.state);
        dialog.show();
        QTest::mouseClick(dialog.L_L[1], Qt::LeftButton);
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("Do you want to change the Language from English to Other?")});
        QVERIFY(messages.shown[0].buttons == MessageService::Buttons::YesNo);
        QCOMPARE(dialog.Language_In_Use, std::string("English"));
        QCOMPARE(fixture.state.texts.Get(0), std::string("Begin"));
    }

    void checkButtonShowsTheAnswerWithoutHoldingTheWindow() {
        OptionsFixture fixture({});
        sw::test::RecordingLinkOpener links;
        fixture.state.settings.enableInternet = true;
        fixture.state.settings.enableUpdateCheck = true;
        OptionsDialog dialog(fixture.state);
        std::atomic<bool> release{false};
        std::atomic<bool> newer{true};
        dialog.versionChecker()->setCheck([&](std::stop_token stop) {
            while (!release && !stop.stop_requested()) {
                std::this_thread::sleep_for(1ms);
            }
            return newer.load();
        });
        dialog.show();
        QVERIFY(dialog.LL_Check_Update->isHidden());
        QVERIFY(dialog.Btn_Check_Update->isEnabled());
        dialog.Btn_Check_Update->click();
        // The window goes on while the service is asked.
        QTest::qWait(50);
        QVERIFY(dialog.LL_Check_Update->isHidden());
        release = true;
        QTRY_VERIFY(!dialog.LL_Check_Update->isHidden());
        QCOMPARE(dialog.LL_Check_Update->text(),
                 QStringLiteral("<a href=\"%1\">New Version Available. Click Here for more Details</a>")
                     .arg(QString::fromStdString(sw::downloadPageAddress())));
        emit dialog.LL_Check_Update->linkActivated(QString::fromStdString(sw::downloadPageAddress()));
        QCOMPARE(links.opened, QStringList{QString::fromStdString(sw::downloadPageAddress())});

        newer = false;
        dialog.Btn_Check_Update->click();
        QTRY_COMPARE(dialog.LL_Check_Update->text(), QStringLiteral("No Update Available"));
        // Each showing starts without an answer.
        dialog.hide();
        dialog.show();
        QVERIFY(dialog.LL_Check_Update->isHidden());
    }

    void uncheckingInternetDisablesUpdateKeepsItsMarkAndTheTimerStaysOff() {
        TempDir dir;
        sw::test::writeFile(dir / "Mendral.xml",
                            "<Conf_Settings><lastinternet><enable_internet>1</enable_internet>"
                            "<enable_update>1</enable_update></lastinternet></Conf_Settings>");
        ScriptedDialogs dialogs([](QDialog* dialog) {
            auto* options = qobject_cast<OptionsDialog*>(dialog);
            QVERIFY(options->CB_En_Con->isChecked());
            QVERIFY(options->CB_Update->isEnabled());
            QVERIFY(options->Btn_Check_Update->isEnabled());
            options->PC_Options->setCurrentWidget(options->TS_Con_Options);
            options->CB_En_Con->click();
            QVERIFY(!options->CB_Update->isEnabled());
            QVERIFY(options->CB_Update->isChecked());
            QVERIFY(!options->Btn_Check_Update->isEnabled());
            options->Btn_OK->click();
        });
        MainWindow window(dir.path());
        window.setVersionCheck([](std::stop_token) { return true; });
        QVERIFY(window.Timer_Update->isActive());
        QCOMPARE(std::chrono::milliseconds(window.Timer_Update->interval()), MainWindow::kFirstUpdateCheck);
        window.Btn_Opz->click();
        QCOMPARE(dialogs.opened.size(), size_t(1));
        QVERIFY(!window.state().settings.enableInternet);
        QVERIFY(window.state().settings.enableUpdateCheck);
        QVERIFY(!window.Timer_Update->isActive());
        const std::string saved = sw::test::readFile(dir / "Mendral.xml");
        QVERIFY(saved.find("<enable_internet>0</enable_internet><enable_update>1</enable_update>") !=
                std::string::npos);
    }

    void turningBothOptionsOnChecksFirstAfterItsIntervalThenShowsTheLink() {
        TempDir dir;
        sw::test::RecordingLinkOpener links;
        ScriptedDialogs dialogs([](QDialog* dialog) {
            auto* options = qobject_cast<OptionsDialog*>(dialog);
            options->CB_En_Con->click();
            options->CB_Update->click();
            options->Btn_OK->click();
        });
        MainWindow window(dir.path());
        std::atomic<int> checks{0};
        window.setVersionCheck([&checks](std::stop_token) {
            ++checks;
            return true;
        });
        window.setUpdateIntervals(100ms, 1h);
        QVERIFY(!window.Timer_Update->isActive());
        window.Btn_Opz->click();
        QVERIFY(window.Timer_Update->isActive());
        QVERIFY(!window.LL_Update->isVisible());
        window.show();
        QTRY_VERIFY(window.LL_Update->isVisible());
        QCOMPARE(checks.load(), 1);
        QVERIFY(window.LL_Update->text().contains(
            QStringLiteral(">New Version Available. Click Here for more Details<")));
        emit window.LL_Update->linkActivated(QString::fromStdString(sw::downloadPageAddress()));
        QCOMPARE(links.opened, QStringList{QString::fromStdString(sw::downloadPageAddress())});
        // Then every later interval for as long as both options stay on.
        QVERIFY(window.Timer_Update->isActive());
        QCOMPARE(std::chrono::milliseconds(window.Timer_Update->interval()), std::chrono::milliseconds(1h));
        QVERIFY(sw::test::readFile(dir / "Mendral.xml")
                    .find("<enable_internet>1</enable_internet><enable_update>1") != std::string::npos);

        // An answer that finds nothing newer takes the link away again.
        window.setVersionCheck([](std::stop_token) { return false; });
        window.setUpdateIntervals(100ms, 50ms);
        QTRY_VERIFY(!window.LL_Update->isVisible());
    }

    void pickingALanguageChangesEveryWindowAtOnceAndCancelKeepsTheStoredOne() {
        TempDir dir;
        copyShippedLanguages(dir);
        FakeMessageService messages;
        ScriptedDialogs dialogs([](QDialog* dialog) {
            auto* options = qobject_cast<OptionsDialog*>(dialog);
            QCOMPARE(options->L_L[1]->text(), QStringLiteral("Italiano"));
            QVERIFY(options->I_L[1]->isVisible());
            QTest::mouseClick(options->I_L[1], Qt::LeftButton);
            QCOMPARE(options->L_Sel_Lang->text(), QStringLiteral("Lingua selezionata : Italiano"));
            QCOMPARE(options->L_Page_Lang->text(), QStringLiteral("Pagina 1 / 1"));
            QCOMPARE(options->Btn_Cancel->text(), QStringLiteral("Annulla"));
            options->Btn_Cancel->click();
        });
        MainWindow window(dir.path());
        QCOMPARE(window.Btn_New->text(), QStringLiteral("New Configuration"));
        window.Btn_Opz->click();
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("Do you want to change the Language from English to Italiano?")});
        QCOMPARE(window.Btn_New->text(), QStringLiteral("Nuova configurazione"));
        QCOMPARE(window.Btn_Opz->toolTip(), QStringLiteral("Opzioni"));
        QCOMPARE(window.L_Name_Conf->text(), QStringLiteral("Nessuna configurazione aperta "));
        QCOMPARE(window.newProjectDialog()->windowTitle(), QStringLiteral("Crea nuova configurazione"));
        QCOMPARE(window.openDialog()->Btn_Cancel->text(), QStringLiteral("Annulla"));
        QCOMPARE(window.parametersDialog()->windowTitle(), QStringLiteral("Imposta comunicazione"));
        QCOMPARE(window.optionsDialog()->windowTitle(), QStringLiteral("Opzioni del software"));
        // Cancel stored nothing: the next start is English again.
        QCOMPARE(window.state().settings.languageName, std::string("English"));
        QVERIFY(!std::filesystem::exists(dir / "Mendral.xml"));
        window.close();
        QVERIFY(sw::test::readFile(dir / "Mendral.xml").find("<language>English</language>") !=
                std::string::npos);
        QCOMPARE(window.Btn_New->text(), QStringLiteral("Nuova configurazione"));
    }

    void okStoresThePickedLanguageAtOnce() {
        TempDir dir;
        copyShippedLanguages(dir);
        FakeMessageService messages;
        ScriptedDialogs dialogs([](QDialog* dialog) {
            auto* options = qobject_cast<OptionsDialog*>(dialog);
            options->LangClick(2);
            options->Btn_OK->click();
        });
        MainWindow window(dir.path());
        window.Btn_Opz->click();
        QCOMPARE(window.state().settings.languageName, std::string("Italiano"));
        QVERIFY(sw::test::readFile(dir / "Mendral.xml").find("<language>Italiano</language>") !=
                std::string::npos);
        // The next start comes up in the stored language.
        MainWindow next(dir.path());
        QCOMPARE(next.Btn_New->text(), QStringLiteral("Nuova configurazione"));
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "options_dialog_test.moc"
