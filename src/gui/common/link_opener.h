#pragma once

class QString;

namespace sw::gui {

// Web addresses leave the program through this opener, so a test can record them instead of starting a
// browser.
class LinkOpener {
public:
    virtual ~LinkOpener() = default;
    virtual void open(const QString& address) = 0;
};

// Opens the address in the default browser unless a test installed another opener.
void openLink(const QString& address);
void setLinkOpener(LinkOpener* opener); // nullptr restores the browser

} // namespace sw::gui
