#pragma once

#include "core/options/version_check.h"
#include "gui/common/background_job.h"

#include <QObject>

#include <functional>
#include <stop_token>

namespace sw::gui {

// Runs the online version check on a thread of its own, so no window waits for the network; the
// answer arrives on the interface thread as checked(). A check still running when the checker goes
// is given up.
class VersionChecker : public QObject {
    Q_OBJECT
public:
    // The check itself: newer, not newer or why it failed. It should end soon after a stop is asked.
    using Check = std::function<sw::VersionCheckResult(std::stop_token)>;

    explicit VersionChecker(QObject* parent = nullptr);

    // Replaces the maker's service, for a test or another service.
    void setCheck(Check check) { m_check = std::move(check); }
    bool running() const { return m_job.running(); }
    // Starts a check unless one is running already; that one's answer then serves both requests.
    void start();

signals:
    void checked(const sw::VersionCheckResult& result);

private:
    Check m_check;
    BackgroundJob m_job;
};

} // namespace sw::gui
