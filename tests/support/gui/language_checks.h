#pragma once

#include "core/language/lang_table.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTabBar>
#include <QWidget>

#include <vector>

namespace sw::test {

namespace detail {

// A caption as the table would hold it: without its "&" mnemonic marker and outer blanks.
inline QString bareCaption(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text.trimmed();
}

inline bool hasLetters(const QString& text) {
    for (const QChar c : text) {
        if (c.isLetter()) {
            return true;
        }
    }
    return false;
}

} // namespace detail

// Whether `text` is one of the table's entries, an entry whose %1, %2, ... places are filled, or an entry
// followed or preceded by data (a number, or one of `data`), as texts built from pieces are.
class LanguageTexts {
public:
    LanguageTexts(const LangTable& texts, const QSet<QString>& data) {
        for (const QString& piece : data) {
            m_data.insert(piece.trimmed());
        }
        for (int index = 0; index < static_cast<int>(texts.size()); ++index) {
            const QString entry = detail::bareCaption(QString::fromStdString(texts.Get(index)));
            if (!detail::hasLetters(entry)) {
                continue;
            }
            m_entries.insert(entry);
            const QRegularExpression place(QStringLiteral("%[0-9]"));
            if (entry.contains(place)) {
                QStringList pieces = entry.split(place);
                for (QString& piece : pieces) {
                    piece = QRegularExpression::escape(piece);
                }
                const QString pattern = pieces.join(QStringLiteral(".*"));
                m_patterns.push_back(QRegularExpression(QRegularExpression::anchoredPattern(pattern),
                                                        QRegularExpression::DotMatchesEverythingOption));
            }
        }
    }

    bool holds(const QString& text) const {
        if (!detail::hasLetters(text) || m_entries.contains(text) || m_data.contains(text)) {
            return true;
        }
        for (const QRegularExpression& pattern : m_patterns) {
            if (pattern.match(text).hasMatch()) {
                return true;
            }
        }
        for (qsizetype cut = 1; cut < text.size(); ++cut) {
            const QString head = text.left(cut).trimmed();
            const QString tail = text.mid(cut).trimmed();
            if ((m_entries.contains(head) && isData(tail)) || (isData(head) && m_entries.contains(tail))) {
                return true;
            }
        }
        return false;
    }

private:
    bool isData(const QString& piece) const { return !detail::hasLetters(piece) || m_data.contains(piece); }

    QSet<QString> m_entries;
    QSet<QString> m_data;
    std::vector<QRegularExpression> m_patterns;
};

// Every text a shown window offers the user (captions, group titles, tabs, list entries, column headers,
// hints, place-holders, the window title) that `language` does not hold, each named by its widget. Empty
// when every word on the window comes from the language.
inline QStringList textsNotFromLanguage(QWidget* window, const LanguageTexts& language) {
    QStringList foreign;
    const auto check = [&](const QWidget* widget, const QString& text) {
        const QString bare = detail::bareCaption(text);
        if (!language.holds(bare)) {
            foreign << widget->objectName() + QStringLiteral(" \"") + bare + QLatin1Char('"');
        }
    };
    check(window, window->windowTitle());
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisible() || widget->window() != window) {
            continue;
        }
        check(widget, widget->toolTip());
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            check(label, label->text());
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            if (qobject_cast<QTabBar*>(button->parentWidget()) == nullptr) {
                check(button, button->text());
            }
        } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
            check(group, group->title());
        } else if (auto* bar = qobject_cast<QTabBar*>(widget)) {
            for (int i = 0; i < bar->count(); ++i) {
                check(bar, bar->tabText(i));
            }
        } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
            for (int i = 0; i < list->count(); ++i) {
                check(list, list->itemText(i));
            }
        } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
            check(edit, edit->placeholderText());
        } else if (auto* header = qobject_cast<QHeaderView*>(widget)) {
            for (int i = 0; header->model() != nullptr && i < header->count(); ++i) {
                check(header, header->model()->headerData(i, header->orientation()).toString());
            }
        }
    }
    return foreign;
}

} // namespace sw::test
