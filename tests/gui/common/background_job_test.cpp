#include "gui/common/background_job.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

using sw::gui::BackgroundJob;
using sw::gui::JobContext;

namespace {

// Work that runs until it is asked to stop, reporting whether it was.
std::function<int(const JobContext&)> untilStopped(std::shared_ptr<std::atomic<bool>> stopped) {
    return [stopped](const JobContext& context) {
        while (!context.stopRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        *stopped = true;
        return 0;
    };
}

} // namespace

class BackgroundJobTest : public QObject {
    Q_OBJECT
private slots:
    void resultProgressAndErrorArriveOnTheInterfaceThread() {
        BackgroundJob job;
        QList<std::size_t> shown;
        job.setProgress([&](std::size_t done, std::size_t) {
            QCOMPARE(QThread::currentThread(), qApp->thread());
            shown.push_back(done);
        });
        int result = 0;
        job.start<int>(
            [](const JobContext& context) {
                context.progress(1, 2);
                context.progress(2, 2);
                return 42;
            },
            [&](int value) {
                QCOMPARE(QThread::currentThread(), qApp->thread());
                result = value;
            });
        QVERIFY(job.running());
        QTRY_VERIFY(!job.running());
        QCOMPARE(result, 42);
        QCOMPARE(shown, (QList<std::size_t>{1, 2}));

        QString failure;
        job.start<int>([](const JobContext&) -> int { throw std::runtime_error("no file"); },
                       [](int) { QFAIL("a failed run has no result"); },
                       [&](const std::exception_ptr& error) {
                           try {
                               std::rethrow_exception(error);
                           } catch (const std::exception& thrown) {
                               failure = QString::fromUtf8(thrown.what());
                           }
                       });
        QTRY_VERIFY(!job.running());
        QCOMPARE(failure, QStringLiteral("no file"));
    }

    void cancellingReturnsAtOnceStopsTheWorkAndDeliversNothing() {
        auto stopped = std::make_shared<std::atomic<bool>>(false);
        bool delivered = false;
        {
            BackgroundJob job;
            job.start<int>(untilStopped(stopped), [&](int) { delivered = true; });
            // A new start replaces the running one, which is told to stop and never delivers.
            auto second = std::make_shared<std::atomic<bool>>(false);
            job.start<int>(untilStopped(second), [&](int) { delivered = true; });
            QTRY_VERIFY(stopped->load());
            QVERIFY(job.running());
            *stopped = false;
            stopped = second;
        } // destroyed while its work runs: the window does not wait for it
        QTRY_VERIFY(stopped->load());
        QTRY_COMPARE(sw::gui::backgroundWorkRunning(), std::size_t{0});
        QTest::qWait(20);
        QVERIFY(!delivered);
    }

    void aJobMayBeDestroyedByItsOwnResult() {
        // As a window does with the wait for a program it started.
        auto job = std::make_unique<BackgroundJob>();
        bool done = false;
        job->start<int>([](const JobContext&) { return 1; },
                        [&](int) {
                            job.reset();
                            done = true;
                        });
        QTRY_VERIFY(done);
        QVERIFY(job == nullptr);
    }
};

QTEST_MAIN(BackgroundJobTest)
#include "background_job_test.moc"
