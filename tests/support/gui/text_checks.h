#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStringList>
#include <QStyle>
#include <QStyleOption>
#include <QTabBar>
#include <QTextDocument>
#include <QToolButton>
#include <QWidget>

namespace sw::test {

namespace detail {

inline QString plainText(const QLabel* label) {
    const bool rich = label->textFormat() == Qt::RichText ||
                      (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
    if (!rich) {
        return label->text();
    }
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
}

// The widest line of a text as the widget's font draws it; a "&" mnemonic marker takes no room.
inline int textWidth(const QWidget* widget, QString text, bool mnemonic) {
    if (mnemonic) {
        text.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(QLatin1Char('&'));
        text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    }
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        widest = std::max(widest, widget->fontMetrics().horizontalAdvance(line));
    }
    return widest;
}

// Inside a scroll area a control may lie out of view on purpose.
inline bool insideScrollArea(const QWidget* widget) {
    for (const QWidget* up = widget->parentWidget(); up != nullptr; up = up->parentWidget()) {
        if (qobject_cast<const QAbstractScrollArea*>(up) != nullptr) {
            return true;
        }
    }
    return false;
}

// The part of a control its text is drawn in: for a label the text's own box at its alignment, for the
// others the whole control.
inline QRect textArea(const QWidget* widget, const QString& text) {
    const auto* label = qobject_cast<const QLabel*>(widget);
    if (label == nullptr || label->wordWrap()) {
        return widget->rect();
    }
    const QSize size(textWidth(label, text, false),
                     label->fontMetrics().height() * int(text.count(QLatin1Char('\n')) + 1));
    return QStyle::alignedRect(label->layoutDirection(), label->alignment(), size, label->contentsRect());
}

// A control stacked above this one among its siblings that covers part of its text.
inline const QWidget* coveringSibling(const QWidget* widget, const QString& text) {
    const QWidget* parent = widget->parentWidget();
    if (parent == nullptr) {
        return nullptr;
    }
    const QRect area = textArea(widget, text).translated(widget->pos());
    const QObjectList& siblings = parent->children();
    for (qsizetype i = siblings.indexOf(const_cast<QWidget*>(widget)) + 1; i < siblings.size(); ++i) {
        const auto* above = qobject_cast<const QWidget*>(siblings[i]);
        if (above != nullptr && above->isVisible() && !above->isWindow() &&
            above->geometry().intersects(area)) {
            return above;
        }
    }
    return nullptr;
}

inline QString cut(const QWidget* widget, const QString& text, const QString& why) {
    return widget->objectName() + QStringLiteral(" \"") + text + QStringLiteral("\": ") + why;
}

} // namespace detail

// Every caption of a shown window that is not drawn whole: a label, button, check box, tab or the chosen
// entry of a drop-down list whose text is wider (or, wrapped, taller) than the room its control gives
// it, or whose text is covered by a control stacked above it or cut off by its parent's edge. Hidden controls
// (other pages, collapsed groups) are not looked at. Empty when every text is whole.
inline QStringList cutTexts(QWidget* window) {
    using detail::cut;
    using detail::textWidth;
    QStringList problems;
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (!widget->isVisible() || widget->window() != window) {
            continue;
        }
        QString text;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            text = detail::plainText(label);
            if (text.isEmpty()) {
                continue;
            }
            const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(),
                                                              -label->margin(), -label->margin());
            if (label->wordWrap()) {
                if (label->heightForWidth(label->width()) > label->height()) {
                    problems << cut(label, text, QStringLiteral("wrapped text taller than the label"));
                }
            } else if (textWidth(label, text, false) > room.width()) {
                problems << cut(label, text, QStringLiteral("wider than the label"));
            } else if (label->fontMetrics().height() * int(text.count(QLatin1Char('\n')) + 1) >
                       room.height()) {
                problems << cut(label, text, QStringLiteral("taller than the label"));
            }
        } else if (auto* push = qobject_cast<QPushButton*>(widget)) {
            text = push->text();
            if (text.isEmpty()) {
                continue;
            }
            QStyleOptionButton option;
            option.initFrom(push);
            option.text = text;
            option.rect = push->rect();
            const int room =
                push->style()->subElementRect(QStyle::SE_PushButtonContents, &option, push).width();
            const int icon = push->icon().isNull() ? 0 : push->iconSize().width() + 4;
            if (textWidth(push, text, true) + icon > room) {
                problems << cut(push, text, QStringLiteral("wider than the button"));
            }
        } else if (qobject_cast<QCheckBox*>(widget) != nullptr ||
                   qobject_cast<QRadioButton*>(widget) != nullptr) {
            auto* box = static_cast<QAbstractButton*>(widget);
            text = box->text();
            if (text.isEmpty()) {
                continue;
            }
            QStyleOptionButton option;
            option.initFrom(box);
            option.text = text;
            option.rect = box->rect();
            const bool check = qobject_cast<QCheckBox*>(box) != nullptr;
            const QRect room = box->style()->subElementRect(
                check ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents, &option, box);
            if (textWidth(box, text, true) > room.width()) {
                problems << cut(box, text, QStringLiteral("wider than its box"));
            }
        } else if (auto* tool = qobject_cast<QToolButton*>(widget)) {
            text = tool->text();
            if (text.isEmpty() || tool->toolButtonStyle() == Qt::ToolButtonIconOnly ||
                qobject_cast<QTabBar*>(tool->parentWidget()) != nullptr) {
                continue;
            }
            const int icon =
                tool->toolButtonStyle() == Qt::ToolButtonTextBesideIcon ? tool->iconSize().width() + 4 : 0;
            if (textWidth(tool, text, true) + icon > tool->width() - 6) {
                problems << cut(tool, text, QStringLiteral("wider than the button"));
            }
        } else if (auto* bar = qobject_cast<QTabBar*>(widget)) {
            for (int i = 0; i < bar->count(); ++i) {
                const QRect tab = bar->tabRect(i);
                if (!bar->rect().contains(tab) || textWidth(bar, bar->tabText(i), true) > tab.width()) {
                    problems << cut(bar, bar->tabText(i), QStringLiteral("tab cut off"));
                }
            }
            continue;
        } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
            text = list->currentText();
            if (text.isEmpty() || list->isEditable()) {
                continue;
            }
            QStyleOptionComboBox option;
            option.initFrom(list);
            option.rect = list->rect();
            const QRect room = list->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                             QStyle::SC_ComboBoxEditField, list);
            if (textWidth(list, text, false) > room.width()) {
                problems << cut(list, text, QStringLiteral("chosen entry wider than the list"));
            }
        } else {
            continue;
        }
        // The whole text must be on screen: not under another control nor beyond its parent's edge.
        if (const QWidget* above = detail::coveringSibling(widget, text)) {
            problems << cut(widget, text, QStringLiteral("covered by ") + above->objectName());
        } else if (!detail::insideScrollArea(widget) && widget->visibleRegion() != QRegion(widget->rect())) {
            problems << cut(widget, text, QStringLiteral("partly hidden by its parent's edge"));
        }
    }
    return problems;
}

} // namespace sw::test
