#pragma once

#include <QEventLoop>
#include <QMetaObject>

#include <functional>
#include <future>
#include <thread>

namespace sw::gui {

// Runs `work` on a thread of its own and returns its result, or throws its exception, once it ends.
// Meanwhile this thread goes on painting its windows and serving timers; the user's clicks and keys
// wait until the work is done, so no command can start on top of it.
template <class Result> Result runOffThread(std::function<Result()> work) {
    std::packaged_task<Result()> task(std::move(work));
    std::future<Result> result = task.get_future();
    QEventLoop loop;
    std::thread worker([&task, &loop] {
        task();
        QMetaObject::invokeMethod(
            &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    return result.get();
}

} // namespace sw::gui
