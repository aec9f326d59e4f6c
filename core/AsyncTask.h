#pragma once
// The one way work runs off the calling thread: a job runs in Qt's thread pool and owns what it builds, and
// hands it back as its result. A window gets the result on its own thread through a watcher it owns; plain
// code waits on the returned future (a job not yet started is then run by the waiting thread itself).

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <type_traits>
#include <utility>

namespace vel {

// The pool every job runs in: its own, not Qt's global one, which the raster paint engine borrows to fill
// what a window paints; a long cut holding the global pool made every paint wait for it.
QThreadPool& workPool();

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
    QFuture<Result> future = QtConcurrent::run(&workPool(), std::move(job));
    watcher->setFuture(future);
    return future;
}

// A job run in the pool whose result the caller waits for.
template <class Job> auto startTask(Job job) {
    return QtConcurrent::run(&workPool(), std::move(job));
}

} // namespace vel
