#pragma once

#include "core/shell/program_state.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace sw::gui {

// The About box: product, version and document code; the logo and the web address open the home page.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(const ProgramState& state, QWidget* parent = nullptr);

    QLabel* Image2;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label6;
    QLabel* Label9;
    QLabel* Label3;
    QLabel* Label10;
    QLabel* Label8;
    QLabel* Label12;
    QLabel* Label4;
    QPushButton* LbButton1;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const ProgramState& m_state;
};

} // namespace sw::gui
