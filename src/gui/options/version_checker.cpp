#include "gui/options/version_checker.h"

#include "core/options/version_check.h"

namespace sw::gui {

VersionChecker::VersionChecker(QObject* parent)
    : QObject(parent),
      m_check([](std::stop_token stop) { return checkVersion(makerVersionService(), stop); }) {}

void VersionChecker::start() {
    if (m_job.running()) {
        return;
    }
    // A check that fails says nothing, as one that finds no newer version.
    m_job.start<bool>([check = m_check](const JobContext& context) { return check(context.stopToken()); },
                      [this](bool newer) { emit checked(newer); });
}

} // namespace sw::gui
