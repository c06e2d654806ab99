#pragma once

#include "gui/common/link_opener.h"

#include <QStringList>

namespace sw::test {

// Records the addresses the program would open in a browser; installs itself for its lifetime.
class RecordingLinkOpener : public sw::gui::LinkOpener {
public:
    RecordingLinkOpener() { sw::gui::setLinkOpener(this); }
    ~RecordingLinkOpener() override { sw::gui::setLinkOpener(nullptr); }
    RecordingLinkOpener(const RecordingLinkOpener&) = delete;
    RecordingLinkOpener& operator=(const RecordingLinkOpener&) = delete;

    void open(const QString& address) override { opened << address; }

    QStringList opened;
};

} // namespace sw::test
