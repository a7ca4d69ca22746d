#include "support/MovedTables.h"

namespace kolvix::test {

const std::vector<MovedColumn>& movedColumns()
{
    static const std::vector<MovedColumn> columns = {
        {"Account", "GroupID"},
        {"Trans", "ClientID", true},
        {"HICAPSDetail", "ClientID", true},
        {"NewStatement", "ClientID", true},
        {"StatementActivityLog", "ClientID", true},
        {"InvoiceActivityLog", "ClientID", true},
        {"TyroTrans", "ClientID"},
        {"Appoint", "ClientID"},
        {"ContactAttachment", "ClientID"},
        {"Attachments", "ClientID"},
        {"ClinicalNotes", "ClientID"},
        {"Future", "ClientID"},
        {"Recalls", "ClientID"},
        {"PatCat", "ClientID"},
        {"ClientContact", "ClientID"},
        {"Referral", "ClientID"},
        {"Client", "ReferredByID"},
        {"Client", "ReferredByID2"},
        {"GroupAppDetail", "ClientID"},
        {"AppChange", "ClientID"},
        {"SMSReply", "ClientID"},
        {"Documents", "ClientID"},
        {"Quotes", "ClientID"},
        {"ActEvents", "ClientID"},
        {"XRayFolder", "ClientID"},
        {"XRayReport", "ClientID"},
        {"XRay", "ClientID"},
        {"SalesEvents", "ClientID"},
        {"WaitingList", "ClientID"},
        {"ClassTypeClient", "ClientID"},
        {"SMSMsg", "ClientID"},
        {"RecallRecurrence", "ClientID"},
        {"PXClientForgotPassword", "ClientID"},
        {"PXAppRequest", "ClientID"},
        {"PXCurrentReservedApp", "ClientID"},
        {"PXClientSearchResult", "ClientID"},
        {"PXExceptionLog", "ClientID"},
        {"PXClientPracPermissions", "ClientID"},
        {"PXPendingClient", "GuestClientID"},
        {"PXPendingClient", "ParentID"},
    };
    return columns;
}

QStringList tablesMovedByAccount()
{
    QStringList tables;
    for (const MovedColumn& moved : movedColumns()) {
        if (moved.byAccount)
            tables << moved.table;
    }
    return tables;
}

QStringList tablesMovedByClientId()
{
    QStringList tables;
    for (const MovedColumn& moved : movedColumns()) {
        if (!moved.byAccount && moved.column == QStringLiteral("ClientID"))
            tables << moved.table;
    }
    return tables;
}

} // namespace kolvix::test
