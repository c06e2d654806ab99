#include "gui/options/version_checker.h"

#include "core/options/version_check.h"

namespace sw::gui {

VersionChecker::VersionChecker(QObject* parent)
    : QObject(parent),
      m_check([](std::stop_token stop) { return checkVersion(makerVersionService(), stop); }) {}

VersionChecker::~VersionChecker() {
    // Stops and joins here, while the object can still take (and drop) an answer posted meanwhile.
    m_thread = {};
}

void VersionChecker::start() {
    if (m_running) {
        return;
    }
    m_running = true;
    m_thread = std::jthread([this, check = m_check](std::stop_token stop) {
        const bool newer = check(stop);
        if (stop.stop_requested()) {
            return;
        }
        QMetaObject::invokeMethod(
            this,
            [this, newer] {
                m_running = false;
                emit checked(newer);
            },
            Qt::QueuedConnection);
    });
}

} // namespace sw::gui
