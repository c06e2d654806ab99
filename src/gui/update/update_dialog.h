#pragma once

#include "core/platform/process.h"
#include "core/shell/program_state.h"
#include "core/update/address_check.h"
#include "gui/common/background_job.h"

#include <QDialog>

#include <array>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>

class QCheckBox;
class QTimer;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace sw::gui {

// Step 4: the device's address, what to update and whether to read it back. An update checks that the
// device answers echo requests, remembers the choices, writes the job file and runs the updater.
class UpdateDialog : public QDialog {
    Q_OBJECT
public:
    // Starts a program, its output going into `output`, and calls `ended` on the interface thread once it
    // has ended or was given up.
    using ProgramStarter = std::function<void(
        const std::string& program, const std::string& parameter, std::uint8_t hidden,
        const std::filesystem::path& output, std::function<void(const platform::StartProgramResult&)> ended)>;
    // The address check; runs on a thread of its own and gives up when `stop` is requested.
    using AddressChecker = std::function<AddressCheckResult(const std::string& host, std::stop_token stop)>;

    UpdateDialog(ProgramState& state, ProgramStarter startProgram, QWidget* parent = nullptr);

    // Replaces the real echo check, for tests.
    void setAddressChecker(AddressChecker checker);

    // Captions, hints and the option list from the language table; selects the first option.
    void applyTexts();

    // An address check or the updater is running: no second update may start.
    bool busy() const { return m_check.running() || m_updaterRunning; }

    int connectionMode = 1;
    int replyState = 0;

    QWidget* titlePanel;
    QLabel* softwareCodeLabel;
    QLabel* softwareDescriptionLabel;
    QWidget* ipAddressPanel;
    QLabel* ipAddressLabel;
    QLineEdit* ip1Edit;
    QLineEdit* ip2Edit;
    QLineEdit* ip3Edit;
    QLineEdit* ip4Edit;
    QWidget* optionsPanel;
    QLabel* updateOptionLabel;
    QComboBox* updateOptionsList;
    QCheckBox* readBackBox;
    QWidget* buttonPanel;
    QPushButton* cancelButton;
    QPushButton* updateButton;
    QLabel* statusLabel;

public slots:
    void prepareShowing();
    void onUpdateClicked();
    void onCancelClicked();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The choices of the click that started the check: what is remembered and written when it succeeds,
    // whatever is typed meanwhile.
    struct Request {
        std::string address; // plain dotted decimal: pinged, remembered and written as it is
        int option = 0;
        bool readBack = true;
    };

    void layOut();
    void showBusy();
    void addressChecked(const AddressCheckResult& result);
    // The updater's end: its exit status and its last lines, plainly.
    void updaterEnded(const platform::StartProgramResult& result);
    // The last line the updater has written so far, as the status line.
    void showUpdaterOutput();
    QStringList updaterLastLines(std::size_t count) const;
    void startUpdater();

    ProgramState& m_state;
    ProgramStarter m_startProgram;
    AddressChecker m_checkAddress;
    std::array<QLineEdit*, 4> m_addressEdits{};
    Request m_request;
    bool m_updaterRunning = false;
    std::filesystem::path m_updaterOutput;
    QTimer* m_outputPoll = nullptr;
    BackgroundJob m_check;
};

} // namespace sw::gui
