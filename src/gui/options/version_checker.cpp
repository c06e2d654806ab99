#include "gui/options/version_checker.h"

#include "core/options/version_check.h"

namespace sw::gui {

VersionChecker::VersionChecker(QObject* parent)
    : QObject(parent),
      m_check([](std::stop_token stop) { return checkVersionOnline(makerVersionService(), stop); }) {}

void VersionChecker::start() {
    if (m_job.running()) {
        return;
    }
    // Whoever listens decides what a failure shows: the timer nothing, the options dialog its reason.
    m_job.start<VersionCheckResult>(
        [check = m_check](const JobContext& context) { return check(context.stopToken()); },
        [this](const VersionCheckResult& result) { emit checked(result); });
}

} // namespace sw::gui
