#pragma once

#include <QString>

#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <stop_token>

namespace sw::gui {

namespace detail {
struct JobRun;
}

// What a piece of background work sees of its job: whether it should stop, and where its progress goes.
class JobContext {
public:
    JobContext(std::shared_ptr<detail::JobRun> run, std::stop_token stop);

    std::stop_token stopToken() const { return m_stop; }
    bool stopRequested() const { return m_stop.stop_requested(); }
    // Shown by the job's progress handler on the interface thread, unless the job was cancelled meanwhile.
    void progress(std::size_t done, std::size_t total) const;

private:
    std::shared_ptr<detail::JobRun> m_run;
    std::stop_token m_stop;
};

// The one way long work leaves the interface thread: loading, checking, waiting for a program.
//
// The work runs on a thread of its own and must own everything it uses (capture by value): it may outlive
// the window that started it. Its result, its exception and its progress come back on the interface
// thread, and only while the run they belong to is the job's current one. cancel() (also a new start()
// and the job's destruction) asks the work to stop through its stop token and returns at once: the
// window never waits for the work, and nothing of the cancelled run reaches it afterwards. The program
// waits for every thread still running before it ends (waitForBackgroundWork()).
class BackgroundJob {
public:
    using Progress = std::function<void(std::size_t done, std::size_t total)>;
    using Failed = std::function<void(std::exception_ptr)>;

    BackgroundJob();
    ~BackgroundJob();
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    // Where the progress of later runs is shown.
    void setProgress(Progress shown) { m_progress = std::move(shown); }
    // A run has started and neither ended nor been cancelled.
    bool running() const;

    // Cancels the current run, if any, then runs `work`: `done` gets its result, `failed` (when given)
    // its exception; without `failed` an exception is dropped.
    template <class Result>
    void start(std::function<Result(const JobContext&)> work, std::function<void(Result)> done,
               Failed failed = {}) {
        launch(
            [work = std::move(work),
             done = std::move(done)](const JobContext& context) -> std::function<void()> {
                auto result = std::make_shared<Result>(work(context));
                return [done, result] { done(std::move(*result)); };
            },
            std::move(failed));
    }

    void cancel();

private:
    void launch(std::function<std::function<void()>(const JobContext&)> work, Failed failed);

    std::shared_ptr<detail::JobRun> m_run;
    Progress m_progress;
};

// Asks every background thread still running to stop and waits until all have ended. The window
// program calls it once its windows are gone; threads left at the program's end are waited for anyway.
void waitForBackgroundWork();
// How many background threads have not yet ended, cancelled runs included.
std::size_t backgroundWorkRunning();

} // namespace sw::gui
