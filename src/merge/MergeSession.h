#pragma once

#include "core/TracePane.h"
#include "db/Command.h"
#include "db/Dataset.h"
#include "settings/UtilityConnect.h"

#include <QStringList>
#include <functional>
#include <optional>

namespace kolvix {

class Connection;
class UserInterface;

// Shown at every start, before anything else happens.
inline const char* const kIrreversibleWarning
    = "WARNING: The process of merging patient data cannot be reversed.  Proceed with caution.\n\n"
      "If you do not understand the proper use of this utility please contact Ombrix support.";

// The statement of the main window's From and To client datasets.
inline const char* const kClientStatement = "SELECT ClientID, Name, Surname\r\nFROM Client\r\nWHERE ClientID = :id";

struct MergeClient
{
    qint32 id = -1;
    QString surname;
    QString name;
};

// The two clients of a merge by id: From, whose rows move, and To, which receives them.
struct ClientPair
{
    qint32 from = -1;
    qint32 to = -1;
};

// The context a merge runs in: the data objects of the main window, all on the one
// connection (the command cmd (60 s), the scratch dataset dsTemp (30 s), dsAccount and
// dsAudit (30 s), the hidden trace pane mem and the account-column cache), and the front end's
// user interface, which shows every box, question and step of the session's merges. Each
// merge's account model is its plan's (MergePlan).
class MergeSession
{
public:
    MergeSession(Connection& connection, UserInterface& ui);
    ~MergeSession();
    MergeSession(const MergeSession&) = delete;
    MergeSession& operator=(const MergeSession&) = delete;

    Connection& conZelvan;
    UserInterface& ui;
    Command cmd;
    Dataset dsTemp;
    Dataset dsAccount;
    Dataset dsAudit;
    TracePane mem;
    QStringList columnCache;
    // From the setting "Use Rollback" (section "Kolvix"); on by default.
    bool UseRollback = true;

private:
    // The connection's lock-wait notice before this session: given back when it ends, so that a
    // session opened inside another (a run of merges) leaves the outer one's in place.
    std::function<void()> m_previousNotice;
};

// The start-up that both front ends run: the irreversibility warning, the connection with
// its fallbacks and, once connected, the switches "Use Rollback" (into the session) and "Log",
// and the server name for the log (whose own failures the session's interface shows). Without
// a connection the failure is logged and shown as an error box. Returns what connecting found.
ConnectResult openMergeSession(MergeSession& session);

// The client on an open client dataset (kClientStatement): id 0 and blank names when the
// dataset is closed or the client does not exist, as the Merge button passes them on.
MergeClient clientOf(const Dataset& dataset);
// Reads a client with kClientStatement; nothing when it does not exist.
std::optional<MergeClient> loadClient(Connection& connection, qint32 id);

} // namespace kolvix
