#pragma once

#include "core/UserInterface.h"
#include "db/Connection.h"
#include "db/DbError.h"

#include <QString>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kolvix {

// Watches a statement that may wait for a lock held by another connection: the writes a
// merge makes before it holds the database's write lock (the Audit row, the start of the
// transaction, the steps when the transaction is off on the embedded engine) and the commit
// (which on the embedded engine waits for other connections' reads to end). Once the
// statement has waited kLockWaitNotice the session's user interface hears of it while the statement
// goes on waiting: on the embedded engine from the connection's own wait (every statement's,
// see Connection::setLockWaitNotice), elsewhere from the watch's own thread.
class LockWaitWatch
{
public:
    LockWaitWatch(const Connection& connection, UserInterface& ui)
        : m_connection(connection)
        , m_noticesBefore(connection.lockWaitNotices())
    {
        if (connection.reportsLockWaits())
            return;
        m_thread = std::thread([this, &ui] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_done.wait_for(lock, kLockWaitNotice, [this] { return m_finished; })) {
                m_noticed = true;
                ui.waitingForLock();
            }
        });
    }
    ~LockWaitWatch() { finish(); }
    LockWaitWatch(const LockWaitWatch&) = delete;
    LockWaitWatch& operator=(const LockWaitWatch&) = delete;

    // Ends the watch; true when the statement had been waiting long enough to be noticed.
    bool finish()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_done.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        return m_noticed || m_connection.lockWaitNotices() != m_noticesBefore;
    }

private:
    const Connection& m_connection;
    const int m_noticesBefore;
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    bool m_noticed = false;
    std::thread m_thread;
};

// Runs a statement under a LockWaitWatch; when it fails after the wait was noticed, the user
// interface hears what could not be done and the database client's message.
template <typename Statement>
void watchingForLocks(const Connection& connection, UserInterface& ui, const QString& what, Statement statement)
{
    LockWaitWatch watch(connection, ui);
    try {
        statement();
    } catch (const std::exception& e) {
        if (watch.finish())
            ui.lockWaitFailed(QStringLiteral("%1: %2").arg(what, exceptionMessage(e)));
        throw;
    }
}

// When a wait for another connection's lock gave up within the connection's budget: which lock,
// and what to do ("The <work> waited ... then <again>."); empty otherwise.
inline QString lockWaitAdvice(const Connection& connection, const QString& work, const QString& again)
{
    if (!connection.lockWaitGaveUp())
        return {};
    const QString at = connection.lockWaitGaveUpAt();
    const QString where = at == QLatin1String("COMMIT")
        ? QStringLiteral("to commit the changes, which waits until other connections stop reading")
        : at == QLatin1String("BEGIN")
        ? QStringLiteral("to begin the transaction, which waits until another connection stops writing")
        : QStringLiteral("at the statement \"%1\"").arg(at);
    return QStringLiteral("\n\nThe %1 waited for a lock that another connection holds on the database (%2) and "
                          "gave up.\nClose the other program that has the practice open, then %3.")
        .arg(work, where, again);
}

} // namespace kolvix
