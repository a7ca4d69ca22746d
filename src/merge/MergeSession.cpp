#include "merge/MergeSession.h"

#include "core/Log.h"
#include "core/UserInterface.h"
#include "db/Connection.h"
#include "settings/Settings.h"
#include "settings/UtilityConnect.h"

namespace kolvix {

MergeSession::MergeSession(Connection& connection, UserInterface& ui)
    : conZelvan(connection)
    , ui(ui)
    , cmd(connection, 60)
    , dsTemp(connection, 30)
    , dsAccount(connection, 30)
    , dsAudit(connection, 30)
    , m_previousNotice(connection.lockWaitNotice())
{
    // Every wait of the merge's statements for another connection's lock that lasts is told.
    connection.setLockWaitNotice([&ui] { ui.waitingForLock(); });
    dsAccount.setSql(QStringLiteral("SELECT TOP 1 * FROM Account"));
    dsAudit.setSql(QStringLiteral("SELECT TOP 1 *\r\nFROM Audit"));
}

MergeSession::~MergeSession()
{
    conZelvan.setLockWaitNotice(m_previousNotice);
    if (logFailureInterface() == &ui)
        setLogFailureInterface(nullptr);
}

ConnectResult openMergeSession(MergeSession& session)
{
    session.ui.showWarning(QString::fromLatin1(kIrreversibleWarning));
    const ConnectResult connected = connectToDatabase(session.conZelvan, &session.ui);
    if (!connected.opened) {
        writeLog(QStringLiteral("unable to connect to database"));
        session.ui.showError(connected.failure.isEmpty() ? QString::fromLatin1(kConnectFailed) : connected.failure);
        return connected;
    }
    setLogServerName(connected.serverName);
    setLogFailureInterface(&session.ui);
    session.UseRollback = readUtilitySetting(QStringLiteral("Kolvix"), QStringLiteral("Use Rollback"), true);
    setLogEnabled(readUtilitySetting(QStringLiteral("Kolvix"), QStringLiteral("Log"), false));
    return connected;
}

MergeClient clientOf(const Dataset& dataset)
{
    MergeClient client;
    client.id = 0;
    if (dataset.isOpen() && !dataset.isEmpty()) {
        client.id = dataset.field(QStringLiteral("ClientID")).asInteger();
        client.surname = dataset.field(QStringLiteral("Surname")).asString();
        client.name = dataset.field(QStringLiteral("Name")).asString();
    }
    return client;
}

std::optional<MergeClient> loadClient(Connection& connection, qint32 id)
{
    Dataset ds(connection, 120);
    ds.setSql(QString::fromLatin1(kClientStatement));
    ds.setParam(QStringLiteral("id"), id);
    ds.open();
    if (ds.isEmpty())
        return std::nullopt;
    return clientOf(ds);
}

} // namespace kolvix
