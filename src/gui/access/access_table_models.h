#pragma once

#include "core/access/access_list.h"
#include "gui/access/row_status.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace sw {
class LangTable;
}
namespace sw::access {
class AccessEditor;
} // namespace sw::access

namespace sw::gui {

// The role under which a drop-down cell gives the values it may take.
inline constexpr int kChoicesRole = Qt::UserRole + 1;

// One table of the access editor as an item model: model cell (r, c) is table cell (r + 1, c + 1), the
// row number "N" being the vertical header. Check-box cells hold "Y" or "N"; drop-down cells take only
// their listed values; every edit is stored at once.
class AccessTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class CellKind { Text, ReadOnly, Check, List };

    // Re-reads every row, for after a command that added, removed or renumbered rows.
    void refresh();
    // While hidden the table shows no rows, so that it is never read while the list is being rebuilt.
    void setHidden(bool hidden);
    // The header texts may have changed.
    void headersChanged();
    // Rows (from 1) whose reference is not found in their device, with what is missing: shown tinted,
    // the reason as the rows' tool tip.
    void setStaleRows(std::map<std::size_t, QString> rows);
    // Marks the number of table row `row` (from 1); its hover text tells why. Marks stay with the row
    // number until changed or cleared.
    void setRowStatus(std::size_t row, RowStatus status, const QString& text);
    void clearRowStatuses();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

protected:
    AccessTableModel(access::AccessEditor& editor, int columns, QObject* parent);

    virtual std::size_t rows() const = 0;
    virtual std::string cell(std::size_t row, std::size_t column) const = 0; // table row and column
    virtual void storeCell(std::size_t row, std::size_t column, std::string text) = 0;
    virtual CellKind kind(int column) const = 0;
    virtual QStringList choices(int /*column*/) const { return {}; }
    virtual QString header(int column) const = 0;
    virtual QString hint(int /*column*/) const { return {}; }
    virtual void reread() {}
    // The column holding the device index, whose hover text names the device; -1: none.
    virtual int deviceIndexColumn() const { return -1; }

    access::AccessEditor& m_editor;

private:
    int m_columns;
    bool m_hidden = false;
    std::map<std::size_t, QString> m_stale;
    std::vector<std::pair<RowStatus, QString>> m_rowStatus; // by table row - 1
};

// variablesTable: the variables table; its headers and their hints come from the language table.
class VariablesTableModel : public AccessTableModel {
    Q_OBJECT
public:
    VariablesTableModel(access::AccessEditor& editor, const LangTable& texts, QObject* parent = nullptr);

protected:
    std::size_t rows() const override;
    std::string cell(std::size_t row, std::size_t column) const override;
    void storeCell(std::size_t row, std::size_t column, std::string text) override;
    CellKind kind(int column) const override;
    QStringList choices(int column) const override;
    QString header(int column) const override;
    QString hint(int column) const override;
    int deviceIndexColumn() const override { return 0; }

private:
    const LangTable& m_texts;
};

// dataSetsTable: the selected data sets.
class DataSetTableModel : public AccessTableModel {
    Q_OBJECT
public:
    explicit DataSetTableModel(access::AccessEditor& editor, QObject* parent = nullptr);

protected:
    std::size_t rows() const override;
    std::string cell(std::size_t row, std::size_t column) const override;
    void storeCell(std::size_t row, std::size_t column, std::string text) override;
    CellKind kind(int column) const override;
    QString header(int column) const override;
    int deviceIndexColumn() const override { return 0; }
};

// membersTable: the member settings of the data set the editor shows (one blank row when none).
class MembersTableModel : public AccessTableModel {
    Q_OBJECT
public:
    explicit MembersTableModel(access::AccessEditor& editor, QObject* parent = nullptr);

protected:
    std::size_t rows() const override;
    std::string cell(std::size_t row, std::size_t column) const override;
    void storeCell(std::size_t row, std::size_t column, std::string text) override;
    CellKind kind(int column) const override;
    QStringList choices(int column) const override;
    QString header(int column) const override;
    void reread() override;

private:
    std::vector<access::MemberCells> m_shown;
};

} // namespace sw::gui
