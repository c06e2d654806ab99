#pragma once

#include "core/platform/process.h"
#include "core/shell/program_state.h"
#include "gui/common/background_job.h"
#include "gui/options/version_checker.h"

#include <QMainWindow>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class QToolButton;

namespace sw::gui {

class NewProjectDialog;
class OpenProjectDialog;
class AboutDialog;
class ParametersDialog;
class UpdateDialog;
class OptionsDialog;
class AccessEditorWindow;

// The user's home: which project is open, and the work as numbered steps.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Runs the start-up sequence in the given program folder and creates every dialog.
    explicit MainWindow(const std::filesystem::path& programFolder, QWidget* parent = nullptr);
    ~MainWindow() override;

    ProgramState& state() { return m_state; }

    void applyTexts();
    void changeLanguage();
    void createProject();
    void chooseAndOpenProject();
    void runDeviceUpdate();
    void onMakerLinkClicked();

    // Starts an external program and waits for it (at most 150 s) on a thread of its own, so the windows
    // stay painted meanwhile; `ended` then runs on the interface thread with the outcome. A wait still
    // running when the window goes is given up and the program left running.
    using ProgramEnded = std::function<void(const platform::StartProgramResult&)>;
    // With an `output` file, the program's output goes there (see platform::startProgram).
    void startProgram(const std::string& program, const std::string& parameter, std::uint8_t hidden,
                      ProgramEnded ended = {}, const std::filesystem::path& output = {});

    // Closes as the close button does, for a close that nobody watches (a termination signal): open
    // dialogs are cancelled and an error goes to standard error instead of a message box.
    void closeOnSignal();
    // The program's exit status: not zero when the settings could not be saved at the close.
    int exitStatus() const { return m_exitStatus; }

    NewProjectDialog* newProjectDialog() const { return m_newProject; }
    OpenProjectDialog* openDialog() const { return m_openConf; }
    AboutDialog* aboutBox() const { return m_about; }
    ParametersDialog* parametersDialog() const { return m_parGen; }
    UpdateDialog* updateDialog() const { return m_boot; }
    OptionsDialog* optionsDialog() const { return m_options; }

    // The periodic version check runs while both internet options are on: first after `first` once it
    // is enabled in a run, then every `later`.
    static constexpr std::chrono::milliseconds kFirstUpdateCheck{60000};
    static constexpr std::chrono::milliseconds kLaterUpdateChecks{7200000};
    void setUpdateIntervals(std::chrono::milliseconds first, std::chrono::milliseconds later);
    // Replaces the maker's version service for the timer and the Options dialog alike.
    void setVersionCheck(const VersionChecker::Check& check);
    // Runs the update timer exactly when both internet options are on.
    void followUpdateOptions();
    AccessEditorWindow* accessDialog() const { return m_access; }

    QLabel* softwareCodeLabel;
    QLabel* softwareDescriptionLabel;
    QLabel* updateLink;
    QToolButton* aboutButton;
    QToolButton* optionsButton;
    QToolButton* closeButton;
    QLabel* beginLabel;
    QFrame* projectFrame;
    QLabel* projectCaptionLabel;
    QLabel* projectNameLabel;
    QLabel* step1Label;
    QPushButton* newProjectButton;
    QPushButton* openProjectButton;
    QLabel* step2Label;
    QPushButton* parametersButton;
    QLabel* step3Label;
    QPushButton* accessButton;
    QLabel* step4Label;
    QPushButton* updateDeviceButton;
    QPushButton* reportButton;
    QLabel* makerLink;
    QFrame* stepsRule;
    QTimer* updateTimer;

public slots:
    void onNewClicked();
    void onOpenClicked();
    void onCloseClicked();
    void onAboutClicked();
    void onOptionsClicked();
    void onParametersClicked();
    void onAccessEditorClicked();
    void onCreateBinClicked();
    // Writes the active project's commissioning report into its folder and opens it in the browser.
    void onReportClicked();
    void onUpdateTimer();
    void onUpdateLinkClicked(const QString& address);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layOut();
    void connectButtons();
    void showProjectLabels();
    void placeStepColumn();
    // A project command needs an open project; without one the user is told so and it does nothing.
    bool projectReady();
    void showUpdateCheck(const sw::VersionCheckResult& result);

    ProgramState m_state;
    bool m_closeAskedBySignal = false;
    int m_exitStatus = 0;
    std::map<int, std::unique_ptr<BackgroundJob>> m_programWaits;
    BackgroundJob m_report;
    int m_nextProgramWait = 0;
    NewProjectDialog* m_newProject = nullptr;
    OpenProjectDialog* m_openConf = nullptr;
    AboutDialog* m_about = nullptr;
    ParametersDialog* m_parGen = nullptr;
    UpdateDialog* m_boot = nullptr;
    OptionsDialog* m_options = nullptr;
    VersionChecker* m_updateChecker = nullptr;
    std::chrono::milliseconds m_laterUpdateChecks = kLaterUpdateChecks;
    bool m_updateChecked = false;
    AccessEditorWindow* m_access = nullptr;
};

// The maker's home page, opened by the web-address labels and the logo.
QString makerHomePage();

} // namespace sw::gui
