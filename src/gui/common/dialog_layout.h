#pragma once

#include <initializer_list>

class QPushButton;
class QWidget;

namespace sw::gui {

// The dialogs' common frame: the title panel on top, the content taking the room left, the button
// strip at the bottom, edge to edge without spacing.
void stackDialogPanels(QWidget* dialog, QWidget* title, QWidget* content, QWidget* buttonStrip);

// A strip of buttons pushed to the right edge, in the given order.
void alignButtonsRight(QWidget* strip, std::initializer_list<QPushButton*> buttons);

// Places a window in the middle of the screen it is on (the primary screen before it is shown).
void centerOnScreen(QWidget* window);

} // namespace sw::gui
