#pragma once

#include "core/scl/scl_model.h"

#include <QDialog>

#include <string>
#include <vector>

class QPushButton;
class QTableWidget;

namespace sw {
class LangTable;
}

namespace sw::gui {

// The IEDs of an SCL file that holds more than one: the user picks those to add, each of which becomes
// a device of the catalog. The first IED is picked when the dialog opens.
class IedPickerDialog : public QDialog {
    Q_OBJECT
public:
    IedPickerDialog(const std::vector<SclIedSummary>& ieds, const QString& fileName, const LangTable& texts,
                    QWidget* parent = nullptr);

    // The names of the picked IEDs in list order.
    std::vector<std::string> pickedNames() const;

    QTableWidget* iedTable;
    QPushButton* okButton;
    QPushButton* cancelButton;

private:
    std::vector<std::string> m_names;
};

} // namespace sw::gui
