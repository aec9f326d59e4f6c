#pragma once
// The one way a window runs work off its own thread: the job runs in Qt's thread pool and its result comes
// back to the window's thread through a watcher the window owns.

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <QtConcurrent/QtConcurrentRun>
#include <type_traits>
#include <utility>

namespace vel {

// Runs `job` in the pool and calls `done(result)` on `owner`'s thread. When `owner` goes first, its watcher
// goes with it and the result is dropped; a job that reaches into its owner must be waited for (through the
// returned future) before the owner goes.
template <class Job, class Done> auto runInBackground(QObject* owner, Job job, Done done) {
    using Result = std::invoke_result_t<Job>;
    auto* watcher = new QFutureWatcher<Result>(owner);
    QObject::connect(watcher, &QFutureWatcherBase::finished, owner,
                     [watcher, done = std::move(done)]() mutable {
                         watcher->deleteLater();
                         done(watcher->result());
                     });
    QFuture<Result> future = QtConcurrent::run(std::move(job));
    watcher->setFuture(future);
    return future;
}

} // namespace vel
