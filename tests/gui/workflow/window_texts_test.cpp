#include "core/language/builtin_texts.h"
#include "core/language/language_file.h"
#include "core/update/address_check.h"
#include "gui/access/access_editor_window.h"
#include "gui/access/ied_picker_dialog.h"
#include "gui/access/signal_list_page.h"
#include "gui/options/options_dialog.h"
#include "gui/parameters/parameters_dialog.h"
#include "gui/shell/about_box.h"
#include "gui/shell/main_window.h"
#include "gui/shell/project_dialogs.h"
#include "gui/update/update_dialog.h"
#include "support/gui/fake_message_service.h"
#include "support/gui/language_checks.h"
#include "support/gui/text_checks.h"
#include "test_support.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolTip>
#include <QTreeView>

#include <filesystem>
#include <functional>

using sw::gui::MainWindow;

namespace {

const std::filesystem::path kAssets = std::filesystem::path(SW_FIXTURES_DIR) / ".." / ".." / "assets";

// A program folder as the build lays it out: the language files, the firmware placeholder and the demo
// project, opened by the first settings file.
void layOutDemoFolder(const std::filesystem::path& folder, const std::string& language) {
    const auto recursive = std::filesystem::copy_options::recursive;
    std::filesystem::copy(kAssets / "LANGUAGE", folder / "LANGUAGE", recursive);
    std::filesystem::copy(kAssets / "MASTER", folder / "MASTER", recursive);
    std::filesystem::copy(kAssets / "demo", folder, recursive);
    std::string settings = sw::test::readFile(folder / "Mendral.xml");
    const std::string english = "<language>English</language>";
    const auto at = settings.find(english);
    QVERIFY(at != std::string::npos);
    settings.replace(at, english.size(), "<language>" + language + "</language>");
    sw::test::writeFile(folder / "Mendral.xml", settings);
}

// Where the screenshots go: set by scripts/screenshots.sh, unset in a test run, which writes nothing.
// The pictures show the windows in English.
QString screenshotFolder() {
    if (QString::fromLatin1(QTest::currentDataTag()) != QStringLiteral("English")) {
        return {};
    }
    return qEnvironmentVariable("SW_SCREENSHOT_DIR");
}

// Checks that every text of the shown window is whole, and keeps its picture when asked to.
// What a window may show beside its language's texts: the product's own names, the project's and the
// languages' names, and the captions, column titles and list entries that are the windows' own in every
// language (the device and the files know the list entries by these words).
QSet<QString> textsOfNoLanguage(const sw::ProgramState& state) {
    QSet<QString> data = {QString::fromStdString(state.product.softwareCode),
                          QString::fromStdString(state.product.softwareDescription),
                          QString::fromStdString(state.product.windowTitle),
                          QString::fromUtf8(sw::kMakerHost),
                          QString::fromStdString(state.session.activeProjectName),
                          QStringLiteral("English"),
                          QStringLiteral("Italiano")};
    for (const char* own :
         {"Variables", "DataSet",    "N",          "Index",       "Reference",  "Goose Name",
          "En. Goose", "IP Address", "Port",       "Time (ms)",   "Mnemonic",   "bType",
          "Position",  "Start Bit",  "Convertion", "Mult Fact",   "RS232",      "RS485",
          "NONE",      "ODD",        "EVEN",       "1 Stop Bits", "2 Stop Bits"}) {
        data.insert(QString::fromUtf8(own));
    }
    return data;
}

// Set while the windows are shown in a language other than English: each window must then show that
// language's texts only.
const sw::test::LanguageTexts* g_language = nullptr;

void checkWindow(QWidget* window, const QString& name) {
    QVERIFY(QTest::qWaitForWindowExposed(window));
    QTest::qWait(50);
    if (g_language != nullptr) {
        const QStringList foreign = sw::test::textsNotFromLanguage(window, *g_language);
        QVERIFY2(foreign.isEmpty(),
                 qPrintable(name + QStringLiteral(" shows texts not from the language:\n  ") +
                            foreign.join(QStringLiteral("\n  "))));
    }
    const QStringList cut = sw::test::cutTexts(window);
    if (const QString folder = screenshotFolder(); !folder.isEmpty()) {
        QVERIFY(window->grab().save(QDir(folder).filePath(name + QStringLiteral(".png"))));
    }
#ifdef _WIN32
    // The offscreen platform measures text on Windows with its own FreeType engine over the font files it
    // is given, rounding otherwise than Windows' own fonts do: what it finds cut is said, not judged.
    if (!cut.isEmpty()) {
        qInfo("%s", qPrintable(name + QStringLiteral(" (offscreen metrics):\n  ") +
                               cut.join(QStringLiteral("\n  "))));
    }
#else
    QVERIFY2(cut.isEmpty(), qPrintable(name + QStringLiteral(":\n  ") + cut.join(QStringLiteral("\n  "))));
#endif
}

// For the pictures only: the access editor with the hover text of a tree leaf drawn over it.
void pictureTreeHover(sw::gui::AccessEditorWindow* access, const QString& folder) {
    QTreeView* tree = access->deviceTree;
    QModelIndex leaf = tree->model()->index(0, 0);
    while (tree->model()->rowCount(leaf) > 0) {
        leaf = tree->model()->index(0, 0, leaf);
    }
    tree->scrollTo(leaf);
    const QPoint at = tree->viewport()->mapToGlobal(tree->visualRect(leaf).center());
    QToolTip::showText(at, leaf.data(Qt::ToolTipRole).toString(), tree->viewport());
    QTest::qWait(300);
    QImage picture = access->grab().toImage();
    QPainter painter(&picture);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->inherits("QTipLabel") && window->isVisible()) {
            painter.drawPixmap(access->mapFromGlobal(window->pos()), window->grab());
        }
    }
    painter.end();
    QToolTip::hideText();
    QVERIFY(picture.save(QDir(folder).filePath(QStringLiteral("access_tree_hover.png"))));
}

// For the pictures only: Update Device at work, with an updater that tells what it does.
void pictureUpdateRun(MainWindow& window, const std::filesystem::path& programFolder, const QString& folder,
                      sw::test::FakeMessageService& messages) {
    sw::test::writeFile(programFolder / "Ethernet_Update",
                        "#!/bin/sh\necho 'Job Ethernet_Update.xml: address 192.168.0.10, 2 operations'\n"
                        "echo 'Operation 1 of 2: send the firmware Sim40512.sim (1 MB)'\nsleep 2\n"
                        "echo 'Operation 2 of 2: send the variable image'\n");
    std::filesystem::permissions(programFolder / "Ethernet_Update", std::filesystem::perms::owner_all);
    sw::gui::UpdateDialog* update = window.updateDialog();
    update->setAddressChecker([](const std::string&, std::stop_token) {
        sw::AddressCheckResult answered;
        answered.outcome = sw::AddressCheck::Answered;
        answered.replyState = 1;
        answered.requests = answered.answered = 2;
        return answered;
    });
    update->show();
    QVERIFY(QTest::qWaitForWindowExposed(update));
    update->updateButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(update->statusLabel->text().contains(QStringLiteral("Operation 1")), 5000);
    QVERIFY(update->grab().save(QDir(folder).filePath(QStringLiteral("update_running.png"))));
    QTRY_VERIFY_WITH_TIMEOUT(!update->busy(), 10000);
    messages.shown.clear(); // the run's outcome, said as it should be
    update->hide();
}

} // namespace

class WindowTextsTest : public QObject {
    Q_OBJECT
private slots:
    void everyWindowShowsItsWholeTextAtTheDefaultFont_data() {
        QTest::addColumn<QString>("language");
        // Every language shipped: the windows are laid out for the longest of their texts.
        QTest::newRow("English") << QStringLiteral("English");
        QTest::newRow("Italiano") << QStringLiteral("Italiano");
    }

    void everyWindowShowsItsWholeTextAtTheDefaultFont() {
        QFETCH(QString, language);
        sw::test::TempDir dir;
        layOutDemoFolder(dir.path(), language.toStdString());
        sw::test::FakeMessageService messages;
        MainWindow window(dir.path());
        QCOMPARE(QString::fromStdString(window.state().session.activeProjectName), QStringLiteral("Demo"));
        QCOMPARE(QString::fromStdString(window.state().settings.languageName), language);
        window.show();
        // Only what the language file itself says: a text it leaves out would show the built-in English.
        sw::LangTable fileTexts;
        for (int index = 0; index < sw::LangTableSize; ++index) {
            fileTexts.append(" ");
        }
        sw::LoadLanguageFile(fileTexts, kAssets / "LANGUAGE" / (language.toStdString() + ".lng"));
        const sw::test::LanguageTexts shipped(fileTexts, textsOfNoLanguage(window.state()));
        g_language = language == QStringLiteral("English") ? nullptr : &shipped;
        struct Forget {
            ~Forget() { g_language = nullptr; }
        } forget;
        checkWindow(&window, QStringLiteral("main_window"));

        const auto checkDialog = [](QDialog* dialog, const QString& name,
                                    const std::function<void()>& prepare = {}) {
            dialog->show();
            if (prepare) {
                prepare();
            }
            checkWindow(dialog, name);
            dialog->hide();
        };
        checkDialog(window.newProjectDialog(), QStringLiteral("new_project"));
        checkDialog(window.openDialog(), QStringLiteral("open_project"));
        checkDialog(window.parametersDialog(), QStringLiteral("communication"));

        sw::gui::AccessEditorWindow* access = window.accessDialog();
        access->show();
        QTRY_VERIFY_WITH_TIMEOUT(!access->isLoading(), 30000);
        access->deviceList->setCurrentRow(0);
        access->deviceTree->expandToDepth(1);
        checkWindow(access, QStringLiteral("access_variables"));
        if (const QString folder = screenshotFolder(); !folder.isEmpty()) {
            pictureTreeHover(access, folder);
        }
        access->pages->setCurrentWidget(access->dataSetsPage);
        access->dataSetsTable->setCurrentIndex(access->dataSetsTable->model()->index(0, 0));
        checkWindow(access, QStringLiteral("access_data_sets"));
        access->pages->setCurrentWidget(access->mapPage);
        checkWindow(access, QStringLiteral("access_map"));
        access->hide();

        std::vector<sw::SclIedSummary> ieds(2);
        ieds[0].name = "Feeder1";
        ieds[1].name = "Feeder2";
        sw::gui::IedPickerDialog picker(ieds, QStringLiteral("bay.scd"), window.state().texts, &window);
        checkDialog(&picker, QStringLiteral("ied_picker"));

        checkDialog(window.updateDialog(), QStringLiteral("update"));
        if (const QString folder = screenshotFolder(); !folder.isEmpty()) {
            pictureUpdateRun(window, dir.path(), folder, messages);
        }
        sw::gui::OptionsDialog* options = window.optionsDialog();
        const QString pages[] = {QStringLiteral("options_language"), QStringLiteral("options_connection"),
                                 QStringLiteral("options_settings")};
        for (int page = 0; page < options->pages->count(); ++page) {
            checkDialog(options, pages[page], [options, page] { options->pages->setCurrentIndex(page); });
        }
        g_language = nullptr; // the About box carries no language's texts
        checkDialog(window.aboutBox(), QStringLiteral("about"));
        QVERIFY2(messages.shown.empty(), qPrintable(messages.texts().join(QLatin1Char('\n'))));
    }

    void longerCaptionsGrowAndMoveTheirControlsInsteadOfBeingCut() {
#ifdef _WIN32
        QSKIP("the offscreen platform's text metrics on Windows are not Windows' own (see checkWindow)");
#endif
        sw::test::TempDir dir;
        layOutDemoFolder(dir.path(), "English");
        sw::test::FakeMessageService messages;
        MainWindow window(dir.path());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect classicOpen = window.openProjectButton->geometry();
        sw::gui::OptionsDialog* options = window.optionsDialog();
        options->show();
        options->pages->setCurrentWidget(options->settingsTab);
        const QSize classicOptions = options->size();

        // The texts change while the windows are open, as a language picked in the Options dialog does.
        auto& texts = window.state().texts;
        texts.Put(1, "First of four");                                     // step1Label
        texts.Put(15, "Create a new configuration");                       // newProjectButton
        texts.Put(17, "Build the images and update the device");           // updateDeviceButton
        texts.Put(321, std::string(3, ' ').append(std::string(120, 'W'))); // doubleClickAutoSizeBox
        window.changeLanguage();

        QTRY_COMPARE(sw::test::cutTexts(options), QStringList());
        QVERIFY(options->width() > classicOptions.width());
        QCOMPARE(sw::test::cutTexts(&window), QStringList());
        QCOMPARE(window.openProjectButton->width(), classicOpen.width());
        QVERIFY(window.openProjectButton->x() > classicOpen.x());
        QCOMPARE(window.openProjectButton->y(), classicOpen.y());
        QVERIFY(window.projectFrame->geometry().right() >= window.openProjectButton->geometry().right());
        QVERIFY(window.newProjectButton->x() > window.step1Label->geometry().right());

        // Back in the shipped texts, everything is in its classic place again.
        texts.clear();
        sw::fillBuiltinTexts(texts);
        window.changeLanguage();
        QCOMPARE(window.openProjectButton->geometry(), classicOpen);
        QTRY_COMPARE(options->size(), classicOptions);
        options->hide();
    }
};

QTEST_MAIN(WindowTextsTest)
#include "window_texts_test.moc"
