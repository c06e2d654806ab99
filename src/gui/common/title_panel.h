#pragma once

#include "core/shell/program_state.h"

class QLabel;
class QWidget;

namespace sw::gui {

// The grey title panel every dialog carries: the software code above the dialog's description.
QWidget* makeTitlePanel(QWidget* parent, const Product& product, QLabel*& code, QLabel*& description);

} // namespace sw::gui
