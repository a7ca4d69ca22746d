#pragma once

#include "core/UserInterface.h"
#include "db/DbError.h"

#include <QString>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kolvix {

// How long a statement waits for another connection's lock before the user is told.
inline constexpr std::chrono::milliseconds kLockWaitNotice {2000};

// Watches a statement that may wait for a lock held by another connection: the writes a
// merge makes before it holds the database's write lock (the Audit row, the start of the
// transaction, the steps when the transaction is off on the embedded engine) and the commit
// (which on the embedded engine waits for other connections' reads to end). Once the
// statement has run for kLockWaitNotice the user interface hears of it, from the watch's own
// thread, while the statement goes on waiting.
class LockWaitWatch
{
public:
    LockWaitWatch()
        : m_thread([this] {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (!m_done.wait_for(lock, kLockWaitNotice, [this] { return m_finished; })) {
                m_noticed = true;
                userInterface().waitingForLock();
            }
        })
    {
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
        return m_noticed;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    bool m_noticed = false;
    std::thread m_thread; // last: it starts once the members above exist
};

// Runs a statement under a LockWaitWatch; when it fails after the wait was noticed, the user
// interface hears what could not be done and the database client's message.
template <typename Statement> void watchingForLocks(const QString& what, Statement statement)
{
    LockWaitWatch watch;
    try {
        statement();
    } catch (const std::exception& e) {
        if (watch.finish())
            userInterface().lockWaitFailed(QStringLiteral("%1: %2").arg(what, exceptionMessage(e)));
        throw;
    }
}

} // namespace kolvix
