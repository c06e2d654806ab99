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
    explicit AboutDialog(const Product& product, QWidget* parent = nullptr);

    QLabel* iconLabel;
    QLabel* productLabel;
    QLabel* descriptionLabel;
    QLabel* softwareCodeCaption;
    QLabel* softwareCodeLabel;
    QLabel* versionCaption;
    QLabel* versionLabel;
    QLabel* documentCodeCaption;
    QLabel* documentCodeLabel;
    QLabel* makerLink;
    QPushButton* okButton;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const Product& m_product;
};

} // namespace sw::gui
