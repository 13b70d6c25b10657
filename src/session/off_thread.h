#pragma once

#include <QObject>
#include <QtConcurrent/QtConcurrentRun>

#include <utility>

namespace halvo::session {

// Runs work on a pool thread, away from the window's, and hands what it returns to
// done on context's own thread; nothing is handed over once context is gone. For
// looking through the system (every process's open files), which may take a while.
template <class Work, class Done> void Off_Thread(QObject *context, Work work, Done done)
{
    QtConcurrent::run(std::move(work)).then(context, std::move(done));
}

} // namespace halvo::session
