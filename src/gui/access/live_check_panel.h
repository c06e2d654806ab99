#pragma once

#include "core/live/live_check.h"
#include "gui/access/row_status.h"
#include "gui/common/background_job.h"

#include <QWidget>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace sw::access {
class AccessEditor;
}

namespace sw::gui {

class AccessTableModel;
class DataArrayMapView;

// The access editor's live check: looks up the list's rows on the servers they name, on a thread of its
// own, and marks each row of the variables and data-set tables with what it found (and the map's
// positions in their hover texts). The tables stay editable meanwhile; a finding is shown only on a row
// that still names what was checked. Hiding the panel (closing the dialog) stops a check without waiting
// for it.
class LiveCheckPanel : public QWidget {
    Q_OBJECT
public:
    // `busy` says when the list must not be read (the dialog is loading): a repeated check then waits.
    LiveCheckPanel(access::AccessEditor& editor, AccessTableModel* variables, AccessTableModel* dataSets,
                   DataArrayMapView* map, std::function<bool()> busy, QWidget* parent = nullptr);

    bool isRunning() const { return m_check.running(); }
    // The captions in the chosen language.
    void applyTexts();
    void setOptions(const live::LiveCheckOptions& options) { m_options = options; }
    // Where the catalog's SCL files are, for checks against the simulated devices.
    void setCatalogFolder(std::filesystem::path folder) { m_catalogFolder = std::move(folder); }

    QPushButton* liveCheckButton;
    QCheckBox* liveRepeatBox;
    // On: the check runs against the catalog's devices simulated on this computer, not the real servers.
    QCheckBox* liveSimulateBox;
    QProgressBar* liveCheckProgress;
    QLabel* liveCheckLabel;

public slots:
    // Checks the list as it is now; nothing while a check runs or the list must not be read.
    void start();
    // Ends a running check and the repetition at once; the check's thread winds down on its own.
    void stop();

signals:
    // A check ended and its findings are shown.
    void finished();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    struct Mark {
        std::size_t row = 0;
        std::string key; // the row's checked cells, as when the check started
        RowStatus status = RowStatus::None;
        QString text;
    };

    void progress(std::size_t done, std::size_t total);
    void deliver(std::vector<live::LiveResult> results);
    void showIdle();
    // Drops the marks of rows that no longer name what was checked, then shows the others.
    void revalidate();
    void showMarks();
    void watch(AccessTableModel* model);

    access::AccessEditor& m_editor;
    AccessTableModel* m_variables;
    AccessTableModel* m_dataSets;
    DataArrayMapView* m_map;
    std::function<bool()> m_busy;
    live::LiveCheckOptions m_options;
    QTimer* m_repeat;

    // The simulated devices, made by the first check that needs them off the interface thread and kept
    // for the next ones while the catalog stays the same; a running check holds its own reference.
    struct Simulation;
    std::shared_ptr<Simulation> m_simulation;
    std::filesystem::path m_catalogFolder;

    BackgroundJob m_check;
    std::vector<std::string> m_variableKeys; // of every row when the running check started
    std::vector<std::string> m_dataSetKeys;
    std::vector<Mark> m_variableMarks;
    std::vector<Mark> m_dataSetMarks;
};

} // namespace sw::gui
