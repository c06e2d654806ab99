#pragma once

#include "core/access/data_array_map.h"
#include "gui/common/background_job.h"

#include <QWidget>

#include <filesystem>
#include <vector>

class QAbstractItemModel;
class QLabel;
class QListWidget;
class QTimer;

namespace sw {
class LangTable;
}

namespace sw::access {
class AccessEditor;
}

namespace sw::gui {

class DataArrayMapView;

// The access editor's "Map" page and its signal-list commands: the data array drawn from the list being
// edited, the lint warnings on request (Check, which never stands in OK's way), and the exchange of the
// variables table with spreadsheet files. The dialog owns the tables; this page reads the editor's list
// and tells the dialog what to show.
class SignalListPage : public QWidget {
    Q_OBJECT
public:
    SignalListPage(access::AccessEditor& editor, const LangTable& texts, QWidget* parent = nullptr);

    // Edits through `model` redraw the map while the page is shown, and when it is shown next.
    void watch(QAbstractItemModel* model);

    DataArrayMapView* mapView() const { return m_map; }
    QListWidget* warnings() const { return warningsList; }

    // The captions in the chosen language.
    void applyTexts();
    // An import is reading its file.
    bool busy() const;
    // Gives up an import under way; the table stays as it was.
    void cancelWork();

    QListWidget* warningsList;
    QLabel* mapSummaryLabel;

public slots:
    // Draws the map from the list as it is now.
    void refresh();
    // Lists the lint warnings below the map (nothing is refused because of them).
    void check();
    // The file Export CSV offers first: the project's name, in its folder.
    void setExportProposal(const std::filesystem::path& file);
    // The project's communication parameters, whose warnings Check lists before the list's own.
    void setParameterFile(const std::filesystem::path& file);
    // The project's access file, which Export CSV refuses to write over.
    void setAccessFile(const std::filesystem::path& file);
    // Writes the variables and the data sets to two CSV files chosen by the user.
    void exportCsv();
    // Replaces the variables table with a CSV file's rows when every row passes; otherwise says which
    // cell fails and changes nothing. The file is read off the interface thread.
    void importCsv();

signals:
    // A cell of the map or a warning was clicked: the dialog shows that row. `dataSet` is 0 for a
    // variables row; `row` is then the variables row, else the member (0: the data-set row itself).
    void rowChosen(std::size_t dataSet, std::size_t row);
    // The variables table was replaced by an import.
    void variablesReplaced();
    // Work that the list must not change under has started (`what` says which) or ended.
    void workStarted(const QString& what);
    void workEnded();

protected:
    void showEvent(QShowEvent* event) override;

private:
    access::AccessEditor& m_editor;
    const LangTable& m_texts;
    DataArrayMapView* m_map;
    QTimer* m_redraw;
    std::vector<QLabel*> m_legendNames;
    bool m_stale = true;
    BackgroundJob m_import;
    std::filesystem::path m_exportProposal;
    std::filesystem::path m_parameterFile;
    std::filesystem::path m_accessFile;
};

} // namespace sw::gui
