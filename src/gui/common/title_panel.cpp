#include "gui/common/title_panel.h"

#include "gui/common/text_conversion.h"

#include <QLabel>
#include <QVBoxLayout>

namespace sw::gui {

QWidget* makeTitlePanel(QWidget* parent, const Product& product, QLabel*& code, QLabel*& description) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QStringLiteral("P_Title"));
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(0);
    code = new QLabel(toQString(product.softwareCode), panel);
    code->setObjectName(QStringLiteral("L_SW_Code"));
    QFont codeFont = code->font();
    codeFont.setPointSize(codeFont.pointSize() + 4);
    codeFont.setBold(true);
    code->setFont(codeFont);
    code->setStyleSheet(QStringLiteral("color: grey;"));
    description = new QLabel(panel);
    description->setObjectName(QStringLiteral("L_SW_Desc"));
    QFont descriptionFont = description->font();
    descriptionFont.setBold(true);
    description->setFont(descriptionFont);
    description->setStyleSheet(QStringLiteral("color: grey;"));
    layout->addWidget(code);
    layout->addWidget(description);
    return panel;
}

} // namespace sw::gui
