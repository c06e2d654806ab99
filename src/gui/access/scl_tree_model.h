#pragma once

#include <QAbstractItemModel>
#include <QIcon>
#include <QMimeData>

#include <array>
#include <memory>

namespace sw {
class SclObject;
class SclSearch;
class SclIed;
} // namespace sw

namespace sw::gui {

// The tree of one device model, read-only. Each index holds its SclObject, whose parent, row and children
// the model knows in constant time, so a device of millions of objects shows at once and opening a node
// costs only its children.
class SclTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    explicit SclTreeModel(QObject* parent = nullptr);

    // The device shown (its root is the only top-level row), or none; shows the whole device.
    void setDevice(const SclIed* device);
    const SclIed* device() const { return m_device; }
    // Shows only what a search over the shown device shows (its matches and their ancestors); null
    // shows the whole device again.
    void setSearch(std::shared_ptr<const SclSearch> search);
    const SclSearch* search() const { return m_search.get(); }

    static const SclObject* object(const QModelIndex& index);
    QModelIndex indexOf(const SclObject* object) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // Dragging a leaf attribute or a data set: the node travels as data of this one program.
    static constexpr const char* kNodeMimeType = "application/x-sw40512-scl-node";
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    // The node a drop carries, when it is a node of the device shown; null otherwise.
    const SclObject* droppedNode(const QMimeData* data) const;
    // A node's hover text: its whole reference, and an attribute's functional constraint and basic type.
    static QString hoverText(const SclObject& node);
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const SclIed* m_device = nullptr;
    std::shared_ptr<const SclSearch> m_search;
    std::array<QIcon, 6> m_icons; // by SclKind
};

} // namespace sw::gui
