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

AboutDialog::AboutDialog(const ProgramState& state, QWidget* parent) : QDialog(parent), m_state(state) {
    setObjectName(QStringLiteral("AboutDialog"));
    setWindowTitle(QStringLiteral("About"));
    Image2 = label(this, "Image2");
    Image2->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(64, 64));
    Image2->setCursor(Qt::PointingHandCursor);
    Label1 = label(this, "Label1", QStringLiteral("Configurator"));
    QFont titleFont = Label1->font();
    titleFont.setBold(true);
    Label1->setFont(titleFont);
    Label2 = label(this, "Label2");
    Label6 = label(this, "Label6", QStringLiteral("Software Code : "));
    Label9 = label(this, "Label9");
    Label3 = label(this, "Label3", QStringLiteral("Version :"));
    Label10 = label(this, "Label10");
    Label8 = label(this, "Label8", QStringLiteral("Document Code :"));
    Label12 = label(this, "Label12");
    Label4 = label(this, "Label4", QString::fromUtf8(sw::kMakerHost));
    Label4->setCursor(Qt::PointingHandCursor);
    LbButton1 = new QPushButton(QStringLiteral("OK"), this);
    LbButton1->setObjectName(QStringLiteral("LbButton1"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(Image2, 0, 0, 4, 1, Qt::AlignTop);
    grid->addWidget(Label1, 0, 1, 1, 2);
    grid->addWidget(Label2, 1, 1, 1, 2);
    grid->addWidget(Label6, 2, 1);
    grid->addWidget(Label9, 2, 2);
    grid->addWidget(Label3, 3, 1);
    grid->addWidget(Label10, 3, 2);
    grid->addWidget(Label8, 4, 1);
    grid->addWidget(Label12, 4, 2);
    grid->addWidget(Label4, 5, 0, 1, 2);
    grid->addWidget(LbButton1, 5, 2, Qt::AlignRight);

    Image2->installEventFilter(this);
    Label4->installEventFilter(this);
    connect(LbButton1, &QPushButton::clicked, this, &QDialog::accept);
    fixSizeGrowingToFit(this, QSize(425, 148));
}

void AboutDialog::showEvent(QShowEvent* event) {
    Label2->setText(toQString(m_state.product.softwareDescription));
    Label9->setText(toQString(m_state.product.softwareCode));
    Label10->setText(QString::fromUtf8(sw::kSoftwareVersion));
    Label12->setText(QStringLiteral("MN40512"));
    QDialog::showEvent(event);
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Image2 || watched == Label4) && event->type() == QEvent::MouseButtonRelease) {
        openLink(makerHomePage());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace sw::gui
