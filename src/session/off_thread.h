#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <utility>

namespace halvo::session {

// Runs work on a pool thread, away from the window's, and hands what it returns to
// done on context's own thread; nothing is handed over once context is gone. For
// looking through the system (every process's open files), which may take a while.
template <class Work, class Done> void Off_Thread(QObject *context, Work work, Done done)
{
    QPointer<QObject> guard(context);
    QThreadPool::globalInstance()->start([guard, work = std::move(work), done = std::move(done)]() mutable {
        auto result = work();
        if (!guard)
            return;
        QMetaObject::invokeMethod(
            guard.data(),
            [guard, done = std::move(done), result = std::move(result)]() mutable {
                if (guard)
                    done(std::move(result));
            },
            Qt::QueuedConnection);
    });
}

} // namespace halvo::session
