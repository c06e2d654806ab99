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

    QLabel* L_SW_Code;
    QLabel* L_SW_Desc;
    QScrollArea* CPG;
    CollapsibleGroup* CP_IEC61850_Client;
    QLabel* L_IEC61850_Client_IP;
    QLineEdit* E_IEC61850_Client_IP1;
    QLineEdit* E_IEC61850_Client_IP2;
    QLineEdit* E_IEC61850_Client_IP3;
    QLineEdit* E_IEC61850_Client_IP4;
    QLabel* L_IEC61850_Client_SM;
    QLineEdit* E_IEC61850_Client_SM1;
    QLineEdit* E_IEC61850_Client_SM2;
    QLineEdit* E_IEC61850_Client_SM3;
    QLineEdit* E_IEC61850_Client_SM4;
    QCheckBox* CB_IEC61850_Client_En_GAT;
    QLineEdit* E_IEC61850_Client_GAT1;
    QLineEdit* E_IEC61850_Client_GAT2;
    QLineEdit* E_IEC61850_Client_GAT3;
    QLineEdit* E_IEC61850_Client_GAT4;
    QLabel* L_IEC61850_Client_VLAN;
    QLineEdit* E_IEC61850_Client_VLAN;
    QLabel* L_IEC61850_Client_AppID;
    QLineEdit* E_IEC61850_Client_AppID;
    CollapsibleGroup* CP_Serial;
    QLabel* L_Serial_Serial;
    QComboBox* CB_Serial_Serial;
    QLabel* L_Serial_Baudrate;
    QComboBox* CB_Serial_Baudrate;
    QLabel* L_Serial_Parity;
    QComboBox* Cb_Serial_Parity;
    QLabel* L_Serial_StopBits;
    QComboBox* CB_Serial_StopBits;
    QPushButton* Btn_OK;
    QPushButton* Btn_Cancel;

public slots:
    // Reloads the fields from the parameter file; an unreadable file is reported and the fields keep what
    // they held.
    void FormShow();
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
