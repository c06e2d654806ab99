#include "gui/access/scl_tree_model.h"

#include "core/scl/scl_model.h"
#include "core/scl/scl_search.h"
#include "gui/common/text_conversion.h"

#include <QMimeData>

#include <vector>

#include <QBrush>
#include <QPainter>
#include <QPixmap>

#include <limits>

namespace sw::gui {

namespace {

constexpr int kIconSize = 16;

// Six small pictures, one per kind of object, drawn here so the program needs no image files.
QIcon kindIcon(SclKind kind) {
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    switch (kind) {
    case SclKind::Device: // a rack with two slots
        painter.setBrush(QColor(128, 128, 128));
        painter.drawRoundedRect(QRectF(1.5, 2.5, 13, 11), 2, 2);
        painter.setBrush(QColor(120, 220, 120));
        painter.drawRect(QRectF(4.5, 5.5, 7, 2));
        painter.drawRect(QRectF(4.5, 9.5, 7, 2));
        break;
    case SclKind::LDevice: // a folder
        painter.setBrush(QColor(235, 190, 80));
        painter.drawRect(QRectF(1.5, 4.5, 13, 9));
        painter.drawRect(QRectF(1.5, 2.5, 6, 2));
        break;
    case SclKind::LN: // a node box
        painter.setBrush(QColor(110, 160, 230));
        painter.drawRect(QRectF(2.5, 2.5, 11, 11));
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(5.5, 5.5, 5, 5));
        break;
    case SclKind::DO: // a blue disc
        painter.setBrush(QColor(0, 0, 255));
        painter.drawEllipse(QRectF(3.5, 3.5, 9, 9));
        break;
    case SclKind::DA: // a small diamond
        painter.setBrush(QColor(200, 90, 40));
        painter.drawPolygon(QPolygonF({QPointF(8, 3), QPointF(13, 8), QPointF(8, 13), QPointF(3, 8)}));
        break;
    case SclKind::DataSet: // a green list
        painter.setBrush(QColor(0, 128, 0));
        painter.drawRect(QRectF(2.5, 2.5, 11, 11));
        painter.setPen(QPen(Qt::white, 1));
        for (int y : {6, 9, 12}) {
            painter.drawLine(QPointF(5, y - 0.5), QPointF(11, y - 0.5));
        }
        break;
    }
    return QIcon(pixmap);
}

QString nodeText(const SclObject& object) {
    switch (object.kind()) {
    case SclKind::Device:
        return toQString(static_cast<const SclIed&>(object).fName());
    case SclKind::LDevice:
        return toQString(static_cast<const SclLogicalDevice&>(object).fName());
    case SclKind::LN: {
        const auto& ln = static_cast<const SclLogicalNode&>(object);
        return toQString(ln.fPrefix() + ln.flnClass() + ln.fInst());
    }
    case SclKind::DO:
        return toQString(static_cast<const SclDataObject&>(object).fName());
    case SclKind::DA:
        return toQString(static_cast<const SclDataAttribute&>(object).fName());
    case SclKind::DataSet:
        return toQString(static_cast<const SclDataSet&>(object).fName());
    }
    return {};
}

int clampedRow(std::size_t row) {
    return row > static_cast<std::size_t>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                                           : static_cast<int>(row);
}

} // namespace

SclTreeModel::SclTreeModel(QObject* parent) : QAbstractItemModel(parent) {
    for (SclKind kind :
         {SclKind::Device, SclKind::LDevice, SclKind::LN, SclKind::DO, SclKind::DA, SclKind::DataSet}) {
        m_icons[static_cast<std::size_t>(kind)] = kindIcon(kind);
    }
}

void SclTreeModel::setDevice(const SclIed* device) {
    beginResetModel();
    m_device = device;
    m_search.reset();
    endResetModel();
}

void SclTreeModel::setSearch(std::shared_ptr<const SclSearch> search) {
    beginResetModel();
    m_search = std::move(search);
    endResetModel();
}

const SclObject* SclTreeModel::object(const QModelIndex& index) {
    return index.isValid() ? static_cast<const SclObject*>(index.internalPointer()) : nullptr;
}

QModelIndex SclTreeModel::indexOf(const SclObject* object) const {
    if (object == nullptr) {
        return {};
    }
    const std::size_t row = m_search ? m_search->shownRow(*object) : object->treeRow();
    return createIndex(clampedRow(row), 0, const_cast<SclObject*>(object));
}

QModelIndex SclTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0 || m_device == nullptr) {
        return {};
    }
    if (!parent.isValid()) {
        return row < rowCount() ? indexOf(m_device) : QModelIndex();
    }
    const auto at = static_cast<std::size_t>(row);
    const SclObject* child = nullptr;
    if (m_search) {
        const auto shown = m_search->shownChildren(*object(parent));
        child = at < shown.size() ? shown[at] : nullptr;
    } else {
        child = object(parent)->treeChild(at);
    }
    return child != nullptr ? createIndex(row, 0, const_cast<SclObject*>(child)) : QModelIndex();
}

QModelIndex SclTreeModel::parent(const QModelIndex& child) const {
    const SclObject* at = object(child);
    return at != nullptr ? indexOf(at->parent()) : QModelIndex();
}

int SclTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) {
        return 0;
    }
    if (!parent.isValid()) {
        return m_device != nullptr && (!m_search || m_search->shown(*m_device)) ? 1 : 0;
    }
    if (m_search) {
        return clampedRow(m_search->shownChildren(*object(parent)).size());
    }
    return clampedRow(object(parent)->treeChildCount());
}

int SclTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool SclTreeModel::hasChildren(const QModelIndex& parent) const {
    return rowCount(parent) > 0;
}

QString SclTreeModel::hoverText(const SclObject& node) {
    // What an engineer picks by: the whole reference, and for an attribute its constraint and type.
    switch (node.kind()) {
    case SclKind::DA: {
        const auto& attribute = static_cast<const SclDataAttribute&>(node);
        return toQString(attribute.fReference()) + QStringLiteral("\nFC: ") + toQString(attribute.fFC()) +
               QStringLiteral("\nbType: ") + toQString(attribute.fbType());
    }
    case SclKind::DO:
        return toQString(static_cast<const SclDataObject&>(node).reference());
    case SclKind::DataSet:
        return toQString(static_cast<const SclDataSet&>(node).fReference());
    default:
        return {};
    }
}

QVariant SclTreeModel::data(const QModelIndex& index, int role) const {
    const SclObject* at = object(index);
    if (at == nullptr) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return nodeText(*at);
    case Qt::DecorationRole:
        return m_icons[static_cast<std::size_t>(at->kind())];
    case Qt::ToolTipRole:
        return hoverText(*at);
    case Qt::ForegroundRole:
        if (at->kind() == SclKind::DO) {
            return QBrush(QColor(0, 0, 255));
        }
        if (at->kind() == SclKind::DataSet) {
            return QBrush(QColor(0, 128, 0));
        }
        return {};
    default:
        return {};
    }
}

Qt::ItemFlags SclTreeModel::flags(const QModelIndex& index) const {
    const SclObject* at = object(index);
    if (at == nullptr) {
        return Qt::NoItemFlags;
    }
    // What Add Var takes can be dragged onto the tables: a leaf attribute or a data set.
    const bool addable = (at->kind() == SclKind::DA && static_cast<const SclDataAttribute*>(at)->isLeaf()) ||
                         at->kind() == SclKind::DataSet;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | (addable ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
}

QStringList SclTreeModel::mimeTypes() const {
    return {QString::fromLatin1(kNodeMimeType)};
}

QMimeData* SclTreeModel::mimeData(const QModelIndexList& indexes) const {
    // Within this program only: the node's address, which a drop checks against the shown device.
    const SclObject* node = indexes.isEmpty() ? nullptr : object(indexes.front());
    if (node == nullptr) {
        return nullptr;
    }
    auto* data = new QMimeData;
    data->setData(QString::fromLatin1(kNodeMimeType),
                  QByteArray::number(static_cast<qulonglong>(reinterpret_cast<quintptr>(node))));
    return data;
}

const SclObject* SclTreeModel::droppedNode(const QMimeData* data) const {
    if (data == nullptr || m_device == nullptr || !data->hasFormat(QString::fromLatin1(kNodeMimeType))) {
        return nullptr;
    }
    bool ok = false;
    const auto address =
        static_cast<quintptr>(data->data(QString::fromLatin1(kNodeMimeType)).toULongLong(&ok));
    if (!ok) {
        return nullptr;
    }
    // Only a node of the device shown now is taken; anything else is not looked at.
    std::vector<const SclObject*> pending{m_device};
    while (!pending.empty()) {
        const SclObject* candidate = pending.back();
        pending.pop_back();
        if (reinterpret_cast<quintptr>(candidate) == address) {
            return candidate;
        }
        for (std::size_t k = candidate->treeChildCount(); k > 0; --k) {
            pending.push_back(candidate->treeChild(k - 1));
        }
    }
    return nullptr;
}

} // namespace sw::gui
