#pragma once

class QScrollArea;

namespace sw::gui {

// Makes the wheel scroll the area wherever the pointer is inside it, also over a list or an edit that
// would otherwise take the turn for itself (and change a value the user only scrolled past). Covers the
// children the area holds when this is called.
void scrollAreaUnderWheel(QScrollArea* area);

} // namespace sw::gui
