#include "gui/parameters/collapsible_group.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace sw::gui {

CollapsibleGroup::CollapsibleGroup(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_header = new QWidget(this);
    m_header->setAutoFillBackground(true);
    QPalette headerPalette = m_header->palette();
    headerPalette.setColor(QPalette::Window, QColor(225, 224, 212));
    m_header->setPalette(headerPalette);
    m_header->setCursor(Qt::PointingHandCursor);
    auto* headerLayout = new QHBoxLayout(m_header);
    headerLayout->setContentsMargins(6, 2, 2, 2);
    m_title = new QLabel(m_header);
    QFont titleFont = m_title->font();
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_chevron = new QToolButton(m_header);
    m_chevron->setAutoRaise(true);
    // The fields' tab order runs straight from one group into the next, so the header takes no focus.
    m_chevron->setFocusPolicy(Qt::NoFocus);
    m_chevron->setArrowType(Qt::UpArrow);
    headerLayout->addWidget(m_title, 1);
    headerLayout->addWidget(m_chevron);
    m_header->installEventFilter(this);
    connect(m_chevron, &QToolButton::clicked, this, [this] { setExpanded(!isExpanded()); });

    m_body = new QWidget(this);
    layout->addWidget(m_header);
    layout->addWidget(m_body);
}

void CollapsibleGroup::setTitle(const QString& title) {
    m_title->setText(title);
}

QString CollapsibleGroup::title() const {
    return m_title->text();
}

bool CollapsibleGroup::isExpanded() const {
    return !m_body->isHidden();
}

void CollapsibleGroup::setExpanded(bool expanded) {
    m_body->setHidden(!expanded);
    m_chevron->setArrowType(expanded ? Qt::UpArrow : Qt::DownArrow);
}

bool CollapsibleGroup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_header && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        setExpanded(!isExpanded());
        return true;
    }
    return QFrame::eventFilter(watched, event);
}

} // namespace sw::gui
