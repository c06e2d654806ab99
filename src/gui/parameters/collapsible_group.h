#pragma once

#include <QFrame>

class QLabel;
class QToolButton;

namespace sw::gui {

// A titled group whose fields fold away under its header; the chevron at the right of the header, or a
// click anywhere on the header, folds and unfolds it.
class CollapsibleGroup : public QFrame {
    Q_OBJECT
public:
    explicit CollapsibleGroup(QWidget* parent = nullptr);

    void setTitle(const QString& title);
    QString title() const;

    // The widget the group's fields go into.
    QWidget* body() const { return m_body; }

    bool isExpanded() const;
    void setExpanded(bool expanded);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_header;
    QLabel* m_title;
    QToolButton* m_chevron;
    QWidget* m_body;
};

} // namespace sw::gui
