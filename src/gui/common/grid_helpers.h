#pragma once

class QTableView;

namespace sw::gui {

// The header row and fixed first column are the view's headers: grid cell (r, c) is model cell (r-1, c-1).

// A double click on the header (row -1) fits the column to its widest content when the option is
// on; a double click on a data row does nothing.
void fitColumnToContents(QTableView* view, int row, int column, bool doubleClickAutoSize);

// With the option on, Enter or Return moves to the next cell to the right, then to the first column
// of the next row, and from the last cell back to the first one. Returns true when the key was
// consumed, which it always is when the option is on, even when there is no current cell to move
// from, so that the view never opens an editor in its place.
bool moveToNextCellOnEnter(QTableView* view, int key, bool enableJumpFieldTables);

} // namespace sw::gui
