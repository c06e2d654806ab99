#include "gui/shell/about_box.h"

#include "gui/common/dialog_layout.h"
#include "gui/common/link_opener.h"
#include "gui/common/text_conversion.h"
#include "gui/shell/main_window.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace sw::gui {

namespace {

QLabel* label(QWidget* parent, const char* name, const QString& text = {}) {
    auto* created = new QLabel(text, parent);
    created->setObjectName(QLatin1String(name));
    return created;
}

} // namespace

AboutDialog::AboutDialog(const Product& product, QWidget* parent) : QDialog(parent), m_product(product) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("About"));
    iconLabel = label(this, "Image2");
    iconLabel->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(64, 64));
    iconLabel->setCursor(Qt::PointingHandCursor);
    productLabel = label(this, "Label1", QStringLiteral("Configurator"));
    QFont titleFont = productLabel->font();
    titleFont.setBold(true);
    productLabel->setFont(titleFont);
    descriptionLabel = label(this, "Label2");
    softwareCodeCaption = label(this, "Label6", QStringLiteral("Software Code : "));
    softwareCodeLabel = label(this, "Label9");
    versionCaption = label(this, "Label3", QStringLiteral("Version :"));
    versionLabel = label(this, "Label10");
    documentCodeCaption = label(this, "Label8", QStringLiteral("Document Code :"));
    documentCodeLabel = label(this, "Label12");
    makerLink = label(this, "Label4", QString::fromUtf8(sw::kMakerHost));
    makerLink->setCursor(Qt::PointingHandCursor);
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("LbButton1"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(iconLabel, 0, 0, 4, 1, Qt::AlignTop);
    grid->addWidget(productLabel, 0, 1, 1, 2);
    grid->addWidget(descriptionLabel, 1, 1, 1, 2);
    grid->addWidget(softwareCodeCaption, 2, 1);
    grid->addWidget(softwareCodeLabel, 2, 2);
    grid->addWidget(versionCaption, 3, 1);
    grid->addWidget(versionLabel, 3, 2);
    grid->addWidget(documentCodeCaption, 4, 1);
    grid->addWidget(documentCodeLabel, 4, 2);
    grid->addWidget(makerLink, 5, 0, 1, 2);
    grid->addWidget(okButton, 5, 2, Qt::AlignRight);

    iconLabel->installEventFilter(this);
    makerLink->installEventFilter(this);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    fixSizeGrowingToFit(this, QSize(425, 148));
}

void AboutDialog::showEvent(QShowEvent* event) {
    descriptionLabel->setText(toQString(m_product.softwareDescription));
    softwareCodeLabel->setText(toQString(m_product.softwareCode));
    versionLabel->setText(QString::fromUtf8(sw::kSoftwareVersion));
    documentCodeLabel->setText(QStringLiteral("MN40512"));
    QDialog::showEvent(event);
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == iconLabel || watched == makerLink) && event->type() == QEvent::MouseButtonRelease) {
        openLink(makerHomePage());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace sw::gui
