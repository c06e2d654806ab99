#pragma once

#include <initializer_list>

class QLabel;
class QPushButton;
class QSize;
class QWidget;

namespace sw::gui {

// The dialogs' common frame: the title panel on top, the content taking the room left, the button
// strip at the bottom, edge to edge without spacing.
void stackDialogPanels(QWidget* dialog, QWidget* title, QWidget* content, QWidget* buttonStrip);

// A strip of buttons pushed to the right edge, in the given order.
void alignButtonsRight(QWidget* strip, std::initializer_list<QPushButton*> buttons);

// Fixes a laid-out window at its classic size, grown wherever its texts need more room (a larger desktop
// font, a longer language): it follows every later change of its layout, such as a language change while
// it is open.
void fixSizeGrowingToFit(QWidget* window, const QSize& classic);

// A label whose text changes takes the width its row leaves it, however long the text: it never widens
// its window.
void takeRoomLeft(QLabel* label);

// Places a window in the middle of the screen it is on (the primary screen before it is shown).
void centerOnScreen(QWidget* window);

} // namespace sw::gui
