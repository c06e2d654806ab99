#pragma once

#include "core/parameters/parameter_set.h"
#include "core/shell/program_state.h"

#include <QDialog>

#include <array>
#include <string>
#include <variant>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;

namespace sw::gui {

class CollapsibleGroup;

// Step 2: the converter's network and serial settings. Each showing reloads them from the project's
// parameter file; OK checks and rewrites the file, Cancel and the close box write nothing.
class ParametersDialog : public QDialog {
    Q_OBJECT
public:
    explicit ParametersDialog(const ProgramState& state, QWidget* parent = nullptr);

    // Captions and hints from the language table; the two group titles keep the language of creation.
    void applyTexts();

    // The parameter set the fields hold now, and filling the fields from one.
    ParameterSet values() const;
    void setValues(const ParameterSet& set);

    QLabel* softwareCodeLabel;
    QLabel* softwareDescriptionLabel;
    QScrollArea* CPG;
    CollapsibleGroup* clientGroup;
    QLabel* clientIpLabel;
    QLineEdit* clientIp1Edit;
    QLineEdit* clientIp2Edit;
    QLineEdit* clientIp3Edit;
    QLineEdit* clientIp4Edit;
    QLabel* clientMaskLabel;
    QLineEdit* clientMask1Edit;
    QLineEdit* clientMask2Edit;
    QLineEdit* clientMask3Edit;
    QLineEdit* clientMask4Edit;
    QCheckBox* gatewayEnabledBox;
    QLineEdit* clientGateway1Edit;
    QLineEdit* clientGateway2Edit;
    QLineEdit* clientGateway3Edit;
    QLineEdit* clientGateway4Edit;
    QLabel* vlanLabel;
    QLineEdit* vlanEdit;
    QLabel* appIdLabel;
    QLineEdit* appIdEdit;
    CollapsibleGroup* serialGroup;
    QLabel* serialInterfaceLabel;
    QComboBox* serialInterfaceList;
    QLabel* serialBaudrateLabel;
    QComboBox* serialBaudrateList;
    QLabel* serialParityLabel;
    QComboBox* serialParityList;
    QLabel* serialStopBitsLabel;
    QComboBox* serialStopBitsList;
    QPushButton* okButton;
    QPushButton* cancelButton;

public slots:
    // Reloads the fields from the parameter file; an unreadable file is reported and the fields keep what
    // they held.
    void prepareShowing();
    void onOkClicked();
    void onCancelClicked();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Each value of the parameter set with the control that shows it; filling the controls and reading
    // them back both walk this one table.
    struct TextControl {
        QLineEdit* edit;
        std::string ParameterSet::*member;
    };
    struct FlagControl {
        QCheckBox* box;
        bool ParameterSet::*member;
    };
    struct ListControl {
        QComboBox* list;
        int ParameterSet::*member;
    };
    using FieldControl = std::variant<TextControl, FlagControl, ListControl>;

    QWidget* buildClientGroup();
    QWidget* buildSerialGroup();
    void setTabOrderOfFields();

    const ProgramState& m_state;
    std::array<FieldControl, 19> m_fields;
    // The twelve byte fields in the order "." moves through them.
    std::array<QLineEdit*, 12> m_byteEdits{};
    // The VLAN text as last accepted, so an edit that breaks the typing rule can be undone.
    QString m_acceptedVlan;
};

} // namespace sw::gui
