#include "gui/access/access_table_models.h"

#include "core/access/access_check.h"
#include "core/access/access_editor.h"
#include "core/common/numbers.h"
#include "core/language/lang_table.h"
#include "gui/access/access_texts.h"
#include "gui/common/text_conversion.h"

#include <QBrush>
#include <QPalette>

#include <algorithm>
#include <limits>
#include <span>

namespace sw::gui {

using access::DataSetColumn;
using access::MemberColumn;
using access::VariableColumn;

namespace {

// The drop-down lists offer exactly the choices of the access list's rules.
QStringList listOf(std::span<const std::string_view> choices) {
    QStringList list;
    for (std::string_view choice : choices) {
        list.append(QString::fromUtf8(choice.data(), static_cast<qsizetype>(choice.size())));
    }
    return list;
}

const QStringList kStartBits = listOf(access::startBitChoices());
const QStringList kReadWrite = listOf(access::directionChoices());
const QStringList kConversions = listOf(access::conversionChoices());

QString formHeader(std::span<const std::string_view> headers, int column) {
    const auto at = static_cast<std::size_t>(column) + 1;
    if (at >= headers.size()) {
        return {};
    }
    const std::string_view text = headers[at];
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

AccessTableModel::AccessTableModel(access::AccessEditor& editor, int columns, QObject* parent)
    : QAbstractTableModel(parent), m_editor(editor), m_columns(columns) {}

void AccessTableModel::refresh() {
    beginResetModel();
    reread();
    endResetModel();
}

void AccessTableModel::setHidden(bool hidden) {
    beginResetModel();
    m_hidden = hidden;
    reread();
    endResetModel();
}

void AccessTableModel::headersChanged() {
    emit headerDataChanged(Qt::Horizontal, 0, m_columns - 1);
}

void AccessTableModel::setStaleRows(std::map<std::size_t, QString> rows) {
    m_stale = std::move(rows);
    if (rowCount() > 0) {
        emit dataChanged(index(0, 0), index(rowCount() - 1, m_columns - 1),
                         {Qt::BackgroundRole, Qt::ToolTipRole});
    }
}

int AccessTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || m_hidden) {
        return 0;
    }
    return static_cast<int>(std::min<std::size_t>(rows(), std::numeric_limits<int>::max()));
}

int AccessTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns;
}

QVariant AccessTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || m_hidden || static_cast<std::size_t>(index.row()) >= rows()) {
        return {};
    }
    const auto row = static_cast<std::size_t>(index.row()) + 1;
    const auto column = static_cast<std::size_t>(index.column()) + 1;
    const CellKind cellKind = kind(index.column());
    if (role == Qt::BackgroundRole || role == Qt::ToolTipRole) {
        if (const auto stale = m_stale.find(row); stale != m_stale.end()) {
            return role == Qt::ToolTipRole ? QVariant(stale->second) : QVariant(QColor(255, 214, 214));
        }
    }
    switch (role) {
    case Qt::DisplayRole:
        if (cellKind == CellKind::Check) {
            return {};
        }
        return toQString(cell(row, column));
    case Qt::EditRole:
        return toQString(cell(row, column));
    case Qt::CheckStateRole:
        if (cellKind == CellKind::Check) {
            return access::isTicked(cell(row, column)) ? Qt::Checked : Qt::Unchecked;
        }
        return {};
    case Qt::ToolTipRole: {
        // The whole text of a cell too narrow for it; beside a device index, the device's name.
        const std::string text = cell(row, column);
        if (index.column() == deviceIndexColumn()) {
            const std::optional<std::int32_t> device = parseInteger(text);
            const auto& devices = m_editor.list().devices();
            if (device && *device >= 0 && static_cast<std::size_t>(*device) < devices.size()) {
                return toQString(text + ": " + devices[static_cast<std::size_t>(*device)].name);
            }
        }
        return cellKind == CellKind::Check || text.empty() ? QVariant() : QVariant(toQString(text));
    }
    case Qt::BackgroundRole:
        if (cellKind == CellKind::ReadOnly) {
            return QPalette().brush(QPalette::Disabled, QPalette::Base).color().darker(105);
        }
        return {};
    case kChoicesRole:
        return cellKind == CellKind::List ? QVariant(choices(index.column())) : QVariant();
    default:
        return {};
    }
}

bool AccessTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || m_hidden || static_cast<std::size_t>(index.row()) >= rows()) {
        return false;
    }
    const CellKind cellKind = kind(index.column());
    std::string text;
    if (role == Qt::CheckStateRole && cellKind == CellKind::Check) {
        text = value.value<Qt::CheckState>() == Qt::Checked ? "Y" : "N";
    } else if (role == Qt::EditRole && (cellKind == CellKind::Text || cellKind == CellKind::List)) {
        text = toUtf8String(value.toString());
        if (cellKind == CellKind::List && !text.empty() &&
            !choices(index.column()).contains(value.toString())) {
            return false;
        }
    } else {
        return false;
    }
    storeCell(static_cast<std::size_t>(index.row()) + 1, static_cast<std::size_t>(index.column()) + 1,
              std::move(text));
    emit dataChanged(index, index);
    return true;
}

Qt::ItemFlags AccessTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    switch (kind(index.column())) {
    case CellKind::Text:
    case CellKind::List:
        return flags | Qt::ItemIsEditable;
    case CellKind::Check:
        return flags | Qt::ItemIsUserCheckable;
    case CellKind::ReadOnly:
        return flags;
    }
    return flags;
}

void AccessTableModel::setRowStatus(std::size_t row, RowStatus status, const QString& text) {
    if (row == 0) {
        return;
    }
    if (m_rowStatus.size() < row) {
        m_rowStatus.resize(row);
    }
    m_rowStatus[row - 1] = {status, status == RowStatus::None ? QString() : text};
    const int section = static_cast<int>(std::min<std::size_t>(row - 1, std::numeric_limits<int>::max()));
    emit headerDataChanged(Qt::Vertical, section, section);
}

void AccessTableModel::clearRowStatuses() {
    if (m_rowStatus.empty()) {
        return;
    }
    const int last =
        static_cast<int>(std::min<std::size_t>(m_rowStatus.size(), std::numeric_limits<int>::max()));
    m_rowStatus.clear();
    emit headerDataChanged(Qt::Vertical, 0, last - 1);
}

QVariant AccessTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        const auto at = static_cast<std::size_t>(section);
        const RowStatus status =
            section >= 0 && at < m_rowStatus.size() ? m_rowStatus[at].first : RowStatus::None;
        switch (role) {
        case Qt::DisplayRole:
            return section + 1;
        case Qt::DecorationRole:
            return status == RowStatus::None ? QVariant() : QVariant(rowStatusIcon(status));
        case Qt::ToolTipRole:
            return status == RowStatus::None ? QVariant() : QVariant(m_rowStatus[at].second);
        case kRowStatusRole:
            return static_cast<int>(status);
        default:
            return {};
        }
    }
    if (section < 0 || section >= m_columns) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return header(section);
    }
    if (role == Qt::ToolTipRole) {
        const QString text = hint(section);
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    return {};
}

// --- Variables

VariablesTableModel::VariablesTableModel(access::AccessEditor& editor, const LangTable& texts,
                                         QObject* parent)
    : AccessTableModel(editor, static_cast<int>(VariableColumn::Count), parent), m_texts(texts) {}

std::size_t VariablesTableModel::rows() const {
    return m_editor.list().variables().size();
}

std::string VariablesTableModel::cell(std::size_t row, std::size_t column) const {
    return m_editor.list().variables()[row - 1][column];
}

void VariablesTableModel::storeCell(std::size_t row, std::size_t column, std::string text) {
    m_editor.list().setVariableCell(row, column, std::move(text));
}

AccessTableModel::CellKind VariablesTableModel::kind(int column) const {
    switch (static_cast<std::size_t>(column)) {
    case VariableColumn::bType:
    case VariableColumn::fc:
    case VariableColumn::Reference:
        return CellKind::ReadOnly;
    case VariableColumn::OnChange:
    case VariableColumn::OnCMD:
    case VariableColumn::OnTimer:
        return CellKind::Check;
    case VariableColumn::StartBit:
    case VariableColumn::ReadWrite:
    case VariableColumn::Convertion:
        return CellKind::List;
    default:
        return CellKind::Text;
    }
}

QStringList VariablesTableModel::choices(int column) const {
    switch (static_cast<std::size_t>(column)) {
    case VariableColumn::StartBit:
        return kStartBits;
    case VariableColumn::ReadWrite:
        return kReadWrite;
    case VariableColumn::Convertion:
        return kConversions;
    default:
        return {};
    }
}

QString VariablesTableModel::header(int column) const {
    return toQString(m_texts.Get(kTextAccessFirstHeader + 1 + column));
}

QString VariablesTableModel::hint(int column) const {
    return toQString(m_texts.Get(kTextAccessFirstHeaderHint + 1 + column));
}

// --- Data sets

DataSetTableModel::DataSetTableModel(access::AccessEditor& editor, QObject* parent)
    : AccessTableModel(editor, static_cast<int>(DataSetColumn::Count), parent) {}

std::size_t DataSetTableModel::rows() const {
    return m_editor.list().dataSetRows().size();
}

std::string DataSetTableModel::cell(std::size_t row, std::size_t column) const {
    return m_editor.list().dataSetRows()[row - 1][column];
}

void DataSetTableModel::storeCell(std::size_t row, std::size_t column, std::string text) {
    m_editor.list().setDataSetCell(row, column, std::move(text));
}

AccessTableModel::CellKind DataSetTableModel::kind(int column) const {
    switch (static_cast<std::size_t>(column)) {
    case DataSetColumn::Reference:
    case DataSetColumn::GooseName:
        return CellKind::ReadOnly;
    case DataSetColumn::EnGoose:
        return CellKind::Check;
    default:
        return CellKind::Text;
    }
}

QString DataSetTableModel::header(int column) const {
    return formHeader(access::kDataSetHeaders, column);
}

// --- Members

MembersTableModel::MembersTableModel(access::AccessEditor& editor, QObject* parent)
    : AccessTableModel(editor, static_cast<int>(MemberColumn::Count), parent) {
    reread();
}

void MembersTableModel::reread() {
    m_shown = m_editor.shownMembers();
}

std::size_t MembersTableModel::rows() const {
    return m_shown.size();
}

std::string MembersTableModel::cell(std::size_t row, std::size_t column) const {
    return m_shown[row - 1][column];
}

void MembersTableModel::storeCell(std::size_t row, std::size_t column, std::string text) {
    m_editor.setShownMemberCell(row, column, text);
    // What the editor kept: an edit while no data set is shown stays in this view only.
    const std::vector<access::MemberCells> stored = m_editor.shownMembers();
    m_shown[row - 1][column] =
        row <= stored.size() && m_editor.DataSet_Row_Select() > 0 ? stored[row - 1][column] : std::move(text);
}

AccessTableModel::CellKind MembersTableModel::kind(int column) const {
    switch (static_cast<std::size_t>(column)) {
    case MemberColumn::bType:
    case MemberColumn::Reference:
        return CellKind::ReadOnly;
    case MemberColumn::StartBit:
    case MemberColumn::Convertion:
        return CellKind::List;
    default:
        return CellKind::Text;
    }
}

QStringList MembersTableModel::choices(int column) const {
    switch (static_cast<std::size_t>(column)) {
    case MemberColumn::StartBit:
        return kStartBits;
    case MemberColumn::Convertion:
        return kConversions;
    default:
        return {};
    }
}

QString MembersTableModel::header(int column) const {
    return formHeader(access::kMemberHeaders, column);
}

} // namespace sw::gui
