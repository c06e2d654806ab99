#include "gui/common/link_opener.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace sw::gui {

namespace {

class BrowserLinkOpener : public LinkOpener {
public:
    void open(const QString& address) override { QDesktopServices::openUrl(QUrl(address)); }
};

LinkOpener* g_opener = nullptr;

} // namespace

void openLink(const QString& address) {
    static BrowserLinkOpener browser;
    (g_opener != nullptr ? *g_opener : browser).open(address);
}

void setLinkOpener(LinkOpener* opener) {
    g_opener = opener;
}

} // namespace sw::gui
