#include "gui/common/background_job.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace sw::gui {

namespace detail {

// One run of a job, shared by the job and the thread doing the work. `cancelled` is set only on the
// interface thread, under the lock the worker takes to post: a call posted before it is dropped on
// arrival, and none is posted after it.
struct JobRun : std::enable_shared_from_this<JobRun> {
    std::mutex mutex;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    bool delivered = false; // interface thread only
    std::stop_source stop;
    QObject* deliverTo = nullptr;
    BackgroundJob::Progress progress;

    void post(std::function<void()> call) {
        const std::lock_guard lock(mutex);
        if (cancelled) {
            return;
        }
        QMetaObject::invokeMethod(
            deliverTo,
            [run = shared_from_this(), call = std::move(call)] {
                if (!run->cancelled) {
                    call();
                }
            },
            Qt::QueuedConnection);
    }

    void cancel() {
        {
            const std::lock_guard lock(mutex);
            cancelled = true;
        }
        stop.request_stop();
    }
};

} // namespace detail

namespace {

// The threads of every run not yet collected. A run's thread ends on its own; ended ones are collected
// at the next start, the rest when the program ends.
class JobThreads {
public:
    ~JobThreads() { waitForAll(); }

    void add(std::jthread thread, std::shared_ptr<detail::JobRun> run) {
        const std::lock_guard lock(m_mutex);
        std::erase_if(m_threads, [](Entry& entry) {
            if (!entry.run->finished) {
                return false;
            }
            entry.thread.join(); // past its last step already
            return true;
        });
        m_threads.push_back({std::move(thread), std::move(run)});
    }

    void waitForAll() {
        std::vector<Entry> threads;
        {
            const std::lock_guard lock(m_mutex);
            threads.swap(m_threads);
        }
        for (Entry& entry : threads) {
            entry.run->cancel();
        }
        threads.clear(); // joins
    }

    std::size_t running() {
        const std::lock_guard lock(m_mutex);
        return static_cast<std::size_t>(std::count_if(
            m_threads.begin(), m_threads.end(), [](const Entry& entry) { return !entry.run->finished; }));
    }

private:
    struct Entry {
        std::jthread thread; // joined when the entry goes
        std::shared_ptr<detail::JobRun> run;
    };
    std::mutex m_mutex;
    std::vector<Entry> m_threads;
};

JobThreads& jobThreads() {
    static JobThreads threads;
    return threads;
}

} // namespace

JobContext::JobContext(std::shared_ptr<detail::JobRun> run, std::stop_token stop)
    : m_run(std::move(run)), m_stop(std::move(stop)) {}

void JobContext::progress(std::size_t done, std::size_t total) const {
    if (m_run->progress) {
        m_run->post([run = m_run, done, total] { run->progress(done, total); });
    }
}

BackgroundJob::BackgroundJob() = default;

BackgroundJob::~BackgroundJob() {
    cancel();
}

bool BackgroundJob::running() const {
    return m_run != nullptr && !m_run->cancelled && !m_run->delivered;
}

void BackgroundJob::cancel() {
    if (m_run != nullptr) {
        m_run->cancel();
        m_run.reset();
    }
}

void BackgroundJob::launch(std::function<std::function<void()>(const JobContext&)> work, Failed failed) {
    QObject* application = QCoreApplication::instance();
    if (application == nullptr) {
        throw std::logic_error("background work needs the application object");
    }
    cancel();
    auto run = std::make_shared<detail::JobRun>();
    run->deliverTo = application;
    run->progress = m_progress;
    m_run = run;
    std::jthread thread([run, work = std::move(work), failed = std::move(failed)] {
        std::function<void()> deliver;
        try {
            deliver = work(JobContext(run, run->stop.get_token()));
        } catch (...) {
            deliver = [failed, error = std::current_exception()] {
                if (failed) {
                    failed(error);
                }
            };
        }
        run->post([run, deliver = std::move(deliver)] {
            // Marked first: `deliver` may start the job again or destroy it.
            run->delivered = true;
            deliver();
        });
        run->finished = true;
    });
    jobThreads().add(std::move(thread), std::move(run));
}

void waitForBackgroundWork() {
    jobThreads().waitForAll();
}

std::size_t backgroundWorkRunning() {
    return jobThreads().running();
}

} // namespace sw::gui
