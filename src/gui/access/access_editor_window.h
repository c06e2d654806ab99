#pragma once

#include "core/access/access_editor.h"
#include "core/shell/program_state.h"
#include "gui/common/background_job.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTableView;
class QTimer;
class QTreeView;

namespace sw::gui {

class AccessTableModel;
class LiveCheckPanel;
class SclTreeModel;
class SignalListPage;

// Step 3: the IEC 61850 access list. On the left the project's ICD catalog and the tree of the chosen
// device; on the right the variables and the data sets to exchange with the converter. Each showing
// reloads the access file; OK checks the variables and rewrites the file, Cancel writes nothing.
class AccessEditorWindow : public QDialog {
    Q_OBJECT
public:
    explicit AccessEditorWindow(const ProgramState& state, QWidget* parent = nullptr);
    ~AccessEditorWindow() override;

    void applyTexts();

    access::AccessEditor& editor() { return m_editor; }
    SclTreeModel* treeModel() const { return m_treeModel; }
    // True from the showing until the access file and its catalog are loaded.
    bool isLoading() const { return m_loading; }
    // Loading, adding a device or importing: the list must not change under the work.
    bool busy() const;
    // The list differs from what the showing opened (or OK last saved).
    bool hasChanges() const;
    // Closes at once, dropping any change: for a close nobody is there to answer.
    void closeWithoutAsking();

    QLabel* softwareCodeLabel;
    QLabel* softwareDescriptionLabel;
    QPushButton* addIecDeviceButton;
    QListWidget* deviceList;
    QPushButton* removeIecDeviceButton;
    QLineEdit* treeSearchEdit;
    QLabel* treeSearchCountLabel;
    QTreeView* deviceTree;
    QTabWidget* pages;
    QWidget* variablesPage;
    QWidget* dataSetsPage;
    QTableView* variablesTable;
    QTableView* dataSetsTable;
    QTableView* membersTable;
    QSplitter* mainSplitter;
    QSplitter* leftSplitter;
    QSplitter* dataSetSplitter;
    QLabel* progressLabel;
    QProgressBar* progressBar;
    QPushButton* okButton;
    QPushButton* cancelButton;
    QPushButton* addVarButton;
    QPushButton* removeVarButton;
    QPushButton* fillAddressesButton;
    // The signal list's own page and commands: the data-array map, Check, Export and Import.
    SignalListPage* mapPage;
    QPushButton* checkButton;
    QPushButton* exportButton;
    QPushButton* importButton;
    // Looks the rows up on their servers and marks them.
    LiveCheckPanel* liveCheckPanel;

signals:
    // The access file of this showing has been read (or failed to be).
    void opened();

public slots:
    // Reads the access file and its catalog off the interface thread; a progress line shows it meanwhile.
    void prepareShowing();
    void onOkClicked();
    void onCancelClicked();
    void onAddVarClicked();
    void onRemoveVarClicked();
    void onAddIecDeviceClicked();
    void onRemoveIecDeviceClicked();
    // The chosen line of the device list: its device is shown in the tree.
    void onDeviceChosen();
    // Fill addresses from SCL on the selected rows of both tables.
    void onFillAddressesClicked();
    // Filters the tree by the search text now (typing does so after a short pause).
    void applyTreeSearch();
    // Makes the next (or previous) match of the search the tree's current node.
    void goToTreeMatch(bool backwards = false);

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildCatalogColumn();
    QWidget* buildTreeColumn();
    QWidget* buildPages();
    QTableView* makeTable(const char* name, AccessTableModel* model);
    // Runs `work` off the interface thread with `what` shown in the progress line and the content
    // disabled; `done` or `failed` (default: an error message) follows on the interface thread.
    template <class Result>
    void startWork(const QString& what, std::function<Result(const JobContext&)> work,
                   std::function<void(Result)> done, BackgroundJob::Failed failed = {});
    void showWorking(const QString& what);
    // OK on a list whose rows collide on the data array: the user sees where and decides.
    bool confirmConflicts();
    QString loadingText(const std::filesystem::path& file) const;
    void showOpened();
    void addLoadedDevices(const std::filesystem::path& file, const std::vector<std::string>& names,
                          bool named);
    void showStaleRows();
    void showDevices();
    void showTree();
    void refreshTables();
    void selectRow(QTableView* view, std::size_t row, int column = 0);
    // Shows a variables row (dataSet 0) or a data set and one of its members (member 0: none).
    void showChosenRow(std::size_t dataSet, std::size_t row, int column = 0);

    const ProgramState& m_state;
    access::AccessEditor m_editor;
    SclTreeModel* m_treeModel;
    AccessTableModel* m_variables;
    AccessTableModel* m_dataSets;
    AccessTableModel* m_members;
    QWidget* m_content = nullptr;
    QTimer* m_searchTimer;
    std::size_t m_treeMatch = 0; // the current match + 1; 0 before the first
    BackgroundJob m_job;
    bool m_loading = false;
    bool m_asking = false;
    bool m_closingUnasked = false;
    bool m_openFailed = false;
    bool m_placed = false;
    QByteArray m_closedGeometry;
};

} // namespace sw::gui
