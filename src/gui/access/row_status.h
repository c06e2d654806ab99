#pragma once

#include <QColor>
#include <QIcon>

namespace sw::gui {

// A mark on a table row's number, as the live check leaves it: the colour says how the row fared, the
// hover text what was found.
enum class RowStatus { None, Ok, Failed, Unreachable, NotChecked };

// The role under which a row's number (the vertical header) gives its RowStatus as an int.
inline constexpr int kRowStatusRole = Qt::UserRole + 2;

QColor rowStatusColour(RowStatus status);
// A small filled disc of the status colour; a null icon for None.
QIcon rowStatusIcon(RowStatus status);

} // namespace sw::gui
