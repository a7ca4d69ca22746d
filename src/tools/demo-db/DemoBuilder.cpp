#include "tools/demo-db/DemoBuilder.h"

#include "tools/demo-db/PracticeData.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace kolvix::demo {

namespace {

// The transactions of the heavy client of the large practice.
constexpr int kHeavyTransRows = 50000;

} // namespace

// ---------------------------------------------------------------------------------------------
// The tables and their rows
// ---------------------------------------------------------------------------------------------

void DemoBuilder::prepare()
{
    m_systemData = make("INSERT INTO SystemData (PracticeName, UseFileNo, DatabaseVersion, LastModified) "
                        "VALUES (?,?,?,?)");
    m_practitioner = make("INSERT INTO Practitioner (PractitionerID, Title, Name, Surname, ProviderNumber, Active) "
                          "VALUES (?,?,?,?,?,'T')");
    m_category = make("INSERT INTO Category (CategoryID, Description) VALUES (?,?)");
    m_relation = make("INSERT INTO Relation (RelationID, Description, MergeID) VALUES (?,?,?)");
    m_client = make("INSERT INTO Client (ClientID, Title, Name, Surname, PreferredName, Active, Sex, DateOfBirth, "
                    "Address, Suburb, State, PostCode, HomePhone, WorkPhone, Mobile, Email, Occupation, FileNo, "
                    "ClaimNumber, BPayRefNo, MedicareNo, PractitionerID, ReferredByID, ReferredByID2, IsAGroup, "
                    "PXAccess, PXVerified, PXEmail, PendingClient, CreatedDate) "
                    "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    m_account = make("INSERT INTO Account (ClientID, AccountID, GroupID, ClaimNumber, BPayRefNo, ShortDescription, "
                     "Description, Balance, IsAGroup, Active, CreatedDate) VALUES (?,?,?,?,?,?,?,?,?,1,?)");
    m_contact = make("INSERT INTO Contact (ContactID, Title, Name, Surname, Company, ContactType, Phone, Email) "
                     "VALUES (?,?,?,?,?,?,?,?)");
    m_clientContact = make("INSERT INTO ClientContact (ClientID, ContactID, RelationID, ContactType, IsPrimary) "
                           "VALUES (?,?,?,?,0)");
    m_patCat = make("INSERT INTO PatCat (ClientID, CategoryID, AddedDate) VALUES (?,?,?)");
    m_permissions = make("INSERT INTO PXClientPracPermissions (ClientID, AllowPracID, AllowPGroupID) VALUES (?,?,?)");
    m_pending = make("INSERT INTO PXPendingClient (GuestClientID, ParentID, RequestDate, Email, Status) "
                     "VALUES (?,?,?,?,?)");
    m_forgotPassword = make("INSERT INTO PXClientForgotPassword (ClientID, Token, RequestDate, ExpiryDate, Activated) "
                            "VALUES (?,?,?,?,?)");
    m_wpxLink = make("INSERT INTO PXClientLink (ClientID, GroupID, LinkedDate) VALUES (?,?,?)");

    auto account = [&](const char* sql, int lo, int hi, std::function<void(Statement&, Random&, int, int)> addRow) {
        m_accountTables.push_back({make(sql), std::move(addRow), lo, hi});
    };
    auto client = [&](const char* sql, int lo, int hi, std::function<void(Statement&, Random&, int)> addRow) {
        m_clientTables.push_back({make(sql), std::move(addRow), lo, hi});
    };

    // The five account-keyed tables, in the order a merge moves them.
    account("INSERT INTO Trans (ClientID, AccountID, TransDate, TransType, InvoiceNo, ItemCode, Description, Amount, "
            "GST, PractitionerID) VALUES (?,?,?,?,?,?,?,?,?,?)",
            0, 8, [this](Statement& s, Random& r, int c, int a) {
                const bool payment = r.chance(0.4);
                const int item = r.between(0, int(kTransItems.size()) - 1);
                m_lastTransId = s.insert(c, a, r.pastDate(), payment ? "PAY" : "INV", r.between(10000, 999999),
                                         payment ? std::string() : "I" + std::to_string(100 + item),
                                         payment ? "Payment - thank you" : kTransItems[std::size_t(item)],
                                         payment ? -r.money(40, 160) : r.money(40, 160), 0.0, r.between(1, 4));
            });
    account("INSERT INTO HICAPSDetail (ClientID, AccountID, TransID, ClaimDate, ItemNumber, ClaimAmount, "
            "BenefitAmount, ResponseCode) VALUES (?,?,?,?,?,?,?,?)",
            -1, 1, [this](Statement& s, Random& r, int c, int a) {
                const double claim = r.money(50, 120);
                s.insert(c, a, m_lastTransId, r.pastDate(), r.digits(3, "F"), claim, claim * 0.6, "00");
            });
    account("INSERT INTO NewStatement (ClientID, AccountID, StatementDate, OpeningBalance, ClosingBalance, Printed) "
            "VALUES (?,?,?,?,?,?)",
            0, 2, [this](Statement& s, Random& r, int c, int a) {
                m_lastStatementId = s.insert(c, a, r.pastDate(3), r.money(0, 300), r.money(0, 300), int(r.chance(0.8)));
            });
    account("INSERT INTO StatementActivityLog (ClientID, AccountID, NewStatementID, ActivityDate, Activity, UserName) "
            "VALUES (?,?,?,?,?,?)",
            0, 2, [this](Statement& s, Random& r, int c, int a) {
                s.insert(c, a, m_lastStatementId, r.pastDate(3), r.chance(0.5) ? "Printed" : "Emailed", "RECEPTION");
            });
    account("INSERT INTO InvoiceActivityLog (ClientID, AccountID, TransID, ActivityDate, Activity, UserName) "
            "VALUES (?,?,?,?,?,?)",
            0, 2, [this](Statement& s, Random& r, int c, int a) {
                s.insert(c, a, m_lastTransId, r.pastDate(), r.chance(0.5) ? "Invoice printed" : "Invoice emailed",
                         r.chance(0.5) ? "RECEPTION" : "ADMIN");
            });

    // The client-keyed tables, in the order a merge moves them.
    client("INSERT INTO TyroTrans (ClientID, TransactionDate, Amount, TerminalID, TransactionRef, ResultCode) "
           "VALUES (?,?,?,?,?,?)",
           -4, 1, [](Statement& s, Random& r, int c) {
               s.insert(c, r.pastDate(2), r.money(40, 200), "TID-" + r.digits(4), "TX" + r.digits(10), "00");
           });
    client("INSERT INTO Appoint (ClientID, PractitionerID, StartTime, Duration, Status, Note) VALUES (?,?,?,?,?,?)", 0,
           6, [this](Statement& s, Random& r, int c) {
               m_lastAppointId = s.insert(c, r.between(1, 4), r.nearDate(), 15 * r.between(1, 4),
                                          r.chance(0.8) ? "Arrived" : "Booked", Null());
           });
    client("INSERT INTO ContactAttachment (ClientID, ContactID, FileName, Description, AddedDate) VALUES (?,?,?,?,?)",
           -4, 1, [this](Statement& s, Random& r, int c) {
               s.insert(c, r.between(1, m_contactCount), "letter" + r.digits(5) + ".pdf", "Referral letter",
                        r.pastDate());
           });
    client("INSERT INTO Attachments (ClientID, FileName, Description, AddedDate) VALUES (?,?,?,?)", -3, 1,
           [](Statement& s, Random& r, int c) {
               s.insert(c, "scan" + r.digits(6) + ".pdf", "Scanned document", r.pastDate());
           });
    client("INSERT INTO ClinicalNotes (ClientID, PractitionerID, NoteDate, Note) VALUES (?,?,?,?)", 0, 4,
           [](Statement& s, Random& r, int c) {
               s.insert(c, r.between(1, 4), r.pastDate(),
                        "S: pain improving. O: range of movement better. A: progressing. P: continue plan.");
           });
    client("INSERT INTO Future (ClientID, DueDate, ItemCode, Description, Amount) VALUES (?,?,?,?,?)", -4, 1,
           [](Statement& s, Random& r, int c) {
               s.insert(c, isoDateTime(kReferenceDay + r.between(1, 90)), "I101", "Standard consultation",
                        r.money(60, 90));
           });
    client("INSERT INTO Recalls (ClientID, PractitionerID, RecallDate, Reason, Completed) VALUES (?,?,?,?,?)", -1, 1,
           [](Statement& s, Random& r, int c) {
               s.insert(c, r.between(1, 4), r.nearDate(), r.pick(kRecallReasons), int(r.chance(0.3)));
           });
    client("INSERT INTO Referral (ClientID, ContactID, ReferralDate, ExpiryDate, Notes) VALUES (?,?,?,?,?)", -2, 1,
           [this](Statement& s, Random& r, int c) {
               const int day = kReferenceDay - r.between(0, 700);
               s.insert(c, r.between(1, m_contactCount), isoDateTime(day), isoDateTime(day + 365),
                        "Referred for treatment");
           });
    client("INSERT INTO GroupAppDetail (GroupAppID, ClientID, Attended) VALUES (?,?,?)", -4, 1,
           [](Statement& s, Random& r, int c) { s.insert(r.between(1, 500), c, int(r.chance(0.8))); });
    client("INSERT INTO AppChange (AppointID, ClientID, ChangeDate, ChangeType, UserName) VALUES (?,?,?,?,?)", 0, 2,
           [this](Statement& s, Random& r, int c) {
               s.insert(m_lastAppointId, c, r.pastDate(1), r.chance(0.5) ? "Moved" : "Cancelled", "RECEPTION");
           });
    client("INSERT INTO SMSReply (ClientID, ReceivedDate, FromNumber, Message) VALUES (?,?,?,?)", -3, 1,
           [](Statement& s, Random& r, int c) {
               s.insert(c, r.pastDate(1), "04" + r.digits(8), r.chance(0.8) ? "Y" : "Can we move it?");
           });
    client("INSERT INTO Documents (ClientID, Title, FileName, CreatedDate) VALUES (?,?,?,?)", -2, 1,
           [](Statement& s, Random& r, int c) {
               s.insert(c, "Treatment report", "report" + r.digits(6) + ".docx", r.pastDate());
           });
    client("INSERT INTO Quotes (ClientID, QuoteDate, Description, Amount) VALUES (?,?,?,?)", -4, 1,
           [](Statement& s, Random& r, int c) { s.insert(c, r.pastDate(2), "Orthotics", r.money(200, 600)); });
    client("INSERT INTO ActEvents (ClientID, EventDate, EventType, Description) VALUES (?,?,?,?)", -2, 1,
           [](Statement& s, Random& r, int c) { s.insert(c, r.pastDate(), "Note", "Phoned about account"); });
    client("INSERT INTO XRayFolder (ClientID, FolderName, CreatedDate) VALUES (?,?,?)", -4, 1,
           [this](Statement& s, Random& r, int c) {
               m_lastFolderId = s.insert(c, "Imaging " + r.digits(4), r.pastDate());
           });
    client("INSERT INTO XRayReport (ClientID, ReportDate, Report) VALUES (?,?,?)", -4, 1,
           [](Statement& s, Random& r, int c) { s.insert(c, r.pastDate(), "No bony abnormality detected."); });
    client("INSERT INTO XRay (ClientID, XRayFolderID, TakenDate, Region, FileName) VALUES (?,?,?,?,?)", -4, 1,
           [this](Statement& s, Random& r, int c) {
               s.insert(c, m_lastFolderId, r.pastDate(), r.pick(kRegions), "xr" + r.digits(7) + ".dcm");
           });
    client("INSERT INTO SalesEvents (ClientID, EventDate, ProductCode, Quantity, Amount) VALUES (?,?,?,?,?)", -3, 1,
           [](Statement& s, Random& r, int c) {
               s.insert(c, r.pastDate(2), "P" + r.digits(4), r.between(1, 3), r.money(10, 80));
           });
    client("INSERT INTO WaitingList (ClientID, PractitionerID, AddedDate, Priority, Notes) VALUES (?,?,?,?,?)", -5, 1,
           [](Statement& s, Random& r, int c) {
               s.insert(c, r.between(1, 4), r.pastDate(1), r.between(1, 3), "Any afternoon");
           });
    client("INSERT INTO ClassTypeClient (ClassTypeID, ClientID, JoinedDate) VALUES (?,?,?)", -4, 1,
           [](Statement& s, Random& r, int c) { s.insert(r.between(1, 6), c, r.pastDate(2)); });
    client("INSERT INTO SMSMsg (ClientID, SentDate, ToNumber, Message, Status) VALUES (?,?,?,?,?)", -1, 2,
           [](Statement& s, Random& r, int c) {
               s.insert(c, r.pastDate(1), "04" + r.digits(8), "Reminder: your appointment is tomorrow.", "Delivered");
           });
    client(
        "INSERT INTO RecallRecurrence (ClientID, IntervalMonths, NextDate, Reason) VALUES (?,?,?,?)", -4, 1,
        [](Statement& s, Random& r, int c) { s.insert(c, 6 * r.between(1, 4), r.nearDate(), r.pick(kRecallReasons)); });
    client("INSERT INTO PXAppRequest (ClientID, PractitionerID, RequestedTime, Status) VALUES (?,?,?,?)", -5, 1,
           [](Statement& s, Random& r, int c) { s.insert(c, r.between(1, 4), r.nearDate(), "Requested"); });
    client("INSERT INTO PXCurrentReservedApp (ClientID, AppointID, ReservedUntil) VALUES (?,?,?)", -6, 1,
           [this](Statement& s, Random& r, int c) { s.insert(c, m_lastAppointId, r.nearDate()); });
    client("INSERT INTO PXClientSearchResult (ClientID, SearchDate, SearchText) VALUES (?,?,?)", -5, 1,
           [](Statement& s, Random& r, int c) { s.insert(c, r.pastDate(1), "next available"); });
    client("INSERT INTO PXExceptionLog (ClientID, LogDate, Message) VALUES (?,?,?)", -6, 1,
           [](Statement& s, Random& r, int c) { s.insert(c, r.pastDate(1), "Session expired"); });
}

void DemoBuilder::addReferenceData(int contacts)
{
    m_systemData->insert("Kolvix Demo Practice", 0, "1.0", isoDateTime(kReferenceDay, 9 * 60));
    for (const PractitionerRow& p : kPractitioners)
        m_practitioner->insert(p.id, p.title, p.name, p.surname, p.providerNumber);
    for (int i = 0; i < int(kCategories.size()); ++i)
        m_category->insert(i + 1, kCategories[std::size_t(i)]);
    for (const RelationRow& r : kRelations)
        m_relation->insert(r.id, r.description, r.mergeId);

    // After the named contacts the rest, up to `contacts` but at least 40, are random doctors
    // and family members.
    for (const ContactRow& c : kNamedContacts)
        addContact(c.id, c.title, c.name, c.surname, c.company, c.type);
    int id = int(kNamedContacts.size()) + 1;
    for (; id <= 40; ++id)
        addContact(id, "Dr", m_random.pick(kGivenNames), m_random.pick(kSurnames), "Medical Centre", "GP");
    for (; id <= contacts; ++id) {
        if (m_random.chance(0.5))
            addContact(id, "Dr", m_random.pick(kGivenNames), m_random.pick(kSurnames), "Medical Centre", "GP");
        else
            addContact(id, nullptr, m_random.pick(kGivenNames), m_random.pick(kSurnames), nullptr, "Family");
    }
    m_contactCount = std::max(contacts, 40);
}

void DemoBuilder::addContact(int id, const char* title, const char* name, const char* surname, const char* company,
                             const char* type)
{
    m_contact->insert(id, title, name, surname, company, type, "(03) 9" + m_random.digits(3) + " " + m_random.digits(4),
                      Null());
}

ClientRow DemoBuilder::randomClient(int id)
{
    ClientRow row;
    row.id = id;
    row.surname = m_random.pick(kSurnames);
    row.name = m_random.pick(kGivenNames);
    if (m_random.chance(0.08))
        row.preferredName = row.name.substr(0, std::min<std::size_t>(row.name.size(), 3));
    row.active = !m_random.chance(0.07);
    return row;
}

void DemoBuilder::addClient(const ClientRow& row)
{
    Random& r = m_random;
    const Place& place = kPlaces[std::size_t(r.between(0, int(kPlaces.size()) - 1))];
    const bool female = r.chance(0.5);
    std::string email;
    if (r.chance(0.7)) {
        for (char c : row.name + "." + row.surname)
            if (c != ' ' && c != '\'')
                email += char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        email += std::to_string(row.id % 100) + "@" + r.pick(kMailDomains);
    }
    char bpay[16];
    std::snprintf(bpay, sizeof bpay, "%08d%02d", row.id % 100000000, 0);
    char fileNo[16];
    std::snprintf(fileNo, sizeof fileNo, "F%06d", row.id % 1000000);
    const int born = kReferenceDay - r.between(2 * 365, 90 * 365);
    const auto landLine
        = [&r] { return "(0" + std::to_string(r.between(2, 8)) + ") " + r.digits(4) + " " + r.digits(4); };
    const auto claimNumber = [this, &r, &row] {
        m_claimClient = row.id;
        m_claimNumber = r.chance(0.1) ? "C" + r.digits(7) : "";
        return Null();
    };

    m_client->insert(
        row.id, female ? "Ms" : "Mr", row.name, row.surname, textOrNull(row.preferredName), row.active ? "T" : "F",
        female ? "F" : "M", isoDateTime(born), std::to_string(r.between(1, 250)) + " " + r.pick(kStreets), place.suburb,
        place.state, place.postCode, textOrNull(r.chance(0.5) ? landLine() : ""),
        textOrNull(r.chance(0.3) ? landLine() : ""),
        textOrNull(r.chance(0.85) ? "04" + r.digits(2) + " " + r.digits(3) + " " + r.digits(3) : ""), textOrNull(email),
        r.pick(kOccupations), std::string(fileNo), claimNumber(), std::string(bpay), r.digits(10), r.between(1, 4),
        row.referredBy, row.referredBy2, int(row.isGroup), int(row.wpxAccess), int(row.wpxVerified),
        textOrNull(row.wpxEmail), int(row.pending), r.pastDate(10));
}

void DemoBuilder::addAccount(int client, int account, const std::string& name, std::optional<int> groupId)
{
    char bpay[16];
    std::snprintf(bpay, sizeof bpay, "%08d%02d", client % 100000000, account % 100);
    const bool workCover = name == "WorkCover" || name == "W^Cover";
    const std::string primaryClaim = account == 0 && client == m_claimClient ? m_claimNumber : std::string();
    m_account->insert(client, account, groupId, textOrNull(workCover ? "WC" + m_random.digits(6) : primaryClaim),
                      std::string(bpay), name, name + " account", m_random.money(0, 400), 0, m_random.pastDate(10));
}

void DemoBuilder::addClientContact(int client, int contact, int relation, const char* type)
{
    m_clientContact->insert(client, contact, relation, type);
}

void DemoBuilder::addCategory(int client, int category)
{
    m_patCat->insert(client, category, m_random.pastDate(3));
}

void DemoBuilder::addPermission(int client, int pracId, int groupId)
{
    m_permissions->insert(client, pracId, groupId);
}

void DemoBuilder::addPending(std::optional<int> guest, std::optional<int> parent, const char* status)
{
    m_pending->insert(guest, parent, m_random.pastDate(1), "pending" + m_random.digits(4) + "@example.com", status);
}

void DemoBuilder::addPasswordReset(int client, const std::string& expiry, bool activated)
{
    m_forgotPassword->insert(client, m_random.digits(32), m_random.pastDate(2), expiry, int(activated));
}

void DemoBuilder::addWpxLink(int client, int group)
{
    m_wpxLink->insert(client, group, m_random.pastDate(2));
}

void DemoBuilder::addActivity(int client, const std::vector<int>& accounts, int perTable, int perAccount)
{
    for (AccountTable& table : m_accountTables)
        for (int account : accounts) {
            const int n = perAccount >= 0 ? perAccount : std::max(0, m_random.between(table.lo, table.hi));
            for (int i = 0; i < n; ++i)
                table.addRow(*table.statement, m_random, client, account);
        }
    for (ClientTable& table : m_clientTables) {
        const int n = perTable >= 0 ? perTable : std::max(0, m_random.between(table.lo, table.hi));
        for (int i = 0; i < n; ++i)
            table.addRow(*table.statement, m_random, client);
    }
}

// Categories and contacts of an ordinary client and, when `wpx` is set, WPX links, pending
// registrations and password resets, which refer to random clients with lower ids.
void DemoBuilder::addRandomExtras(int client, bool wpx)
{
    Random& r = m_random;
    int categories = std::max(0, r.between(-1, 2));
    int category = r.between(1, 10);
    for (; categories > 0; --categories, category = category % 10 + 1)
        addCategory(client, category);
    if (r.chance(0.45))
        addClientContact(client, r.between(1, m_contactCount), 5);
    if (r.chance(0.2))
        addClientContact(client, r.between(1, m_contactCount), r.between(1, 4));
    if (r.chance(0.05))
        addClientContact(client, r.between(1, m_contactCount), 7, "Emergency");
    if (!wpx)
        return;
    if (client > 10 && r.chance(0.02))
        addWpxLink(client, r.between(1, client - 1));
    if (r.chance(0.01))
        addPending(client, client > 1 && r.chance(0.5) ? std::optional<int>(r.between(1, client - 1)) : std::nullopt,
                   "Waiting");
    if (r.chance(0.03))
        addPasswordReset(client, isoDateTime(kReferenceDay - r.between(1, 900)), r.chance(0.5));
}

void DemoBuilder::addPair(const std::string& name, int from, int to, const std::string& what)
{
    m_pairs.push_back("pair " + name + ": from " + std::to_string(from) + " to " + std::to_string(to) + "  (" + what
                      + ")");
}
// ---------------------------------------------------------------------------------------------
// The sample practice
// ---------------------------------------------------------------------------------------------

void DemoBuilder::addSampleClient(const SampleClient& sample)
{
    // The draws of an ordinary client, under the sample's names.
    ClientRow row = randomClient(sample.id);
    row.surname = sample.surname;
    row.name = sample.name;
    row.preferredName.clear();
    row.active = true;
    if (sample.referredBy)
        row.referredBy = sample.referredBy;
    if (sample.referredBy2)
        row.referredBy2 = sample.referredBy2;
    row.isGroup = sample.isGroup;
    row.pending = sample.pending;
    row.wpxAccess = sample.wpxAccess;
    row.wpxVerified = sample.wpxVerified;
    if (sample.wpxEmail)
        row.wpxEmail = sample.wpxEmail;
    addClient(row);

    const auto clientOrNull = [](int id) { return id ? std::optional<int>(id) : std::nullopt; };
    std::vector<int> accounts;
    for (const SampleAccount& account : sample.accounts) {
        addAccount(sample.id, account.account, account.name, clientOrNull(account.groupId));
        accounts.push_back(account.account);
    }
    if (sample.activity)
        addActivity(sample.id, accounts, sample.activity->perTable, sample.activity->perAccount);
    for (int category : sample.categories)
        addCategory(sample.id, category);
    for (const SampleContact& contact : sample.contacts)
        addClientContact(sample.id, contact.contact, contact.relation, contact.type);
    for (const SamplePermission& permission : sample.permissions)
        addPermission(sample.id, permission.pracId, permission.groupId);
    for (const SamplePasswordReset& reset : sample.passwordResets)
        addPasswordReset(sample.id, reset.expiry, reset.activated);
    for (const SamplePending& pending : sample.pendingRows)
        addPending(clientOrNull(pending.guest), clientOrNull(pending.parent), pending.status);
    for (const SampleWpxLink& link : sample.wpxLinks)
        addWpxLink(link.client, link.group);
}

void DemoBuilder::buildSample()
{
    addReferenceData(40);
    for (const SampleClient& sample : sampleClients())
        addSampleClient(sample);
    for (const SamplePair& pair : samplePairs())
        addPair(pair.name, pair.from, pair.to, pair.what);

    // Ordinary clients.
    for (int id = kSampleOrdinaryFirst; id <= kSampleOrdinaryLast; ++id) {
        ClientRow row = randomClient(id);
        row.active = id != kSampleOrdinaryLast;
        if (id > kSampleOrdinaryFirst && m_random.chance(0.3))
            row.referredBy = id - 1;
        addClient(row);
        std::vector<int> accounts = {0};
        addAccount(id, 0, "Primary");
        if (id % 3 == 0) {
            addAccount(id, 1, m_random.pick(kAccountNames));
            accounts.push_back(1);
        }
        addActivity(id, accounts, -1, -1);
        addRandomExtras(id, false);
    }
}

// ---------------------------------------------------------------------------------------------
// The large practice
// ---------------------------------------------------------------------------------------------

void DemoBuilder::buildLarge(int clients, bool activity)
{
    Random& r = m_random;
    addReferenceData(std::max(40, clients / 20));
    const int heavyFrom = clients + 1;
    const int heavyTo = clients + 2;

    for (int id = 1; id <= clients; ++id) {
        ClientRow row = randomClient(id);
        if (id > 1 && r.chance(0.15))
            row.referredBy = r.between(1, id - 1);
        if (id > 1 && r.chance(0.05))
            row.referredBy2 = r.between(1, id - 1);
        row.isGroup = r.chance(0.01);
        if (r.chance(0.08)) {
            row.wpxAccess = row.wpxVerified = true;
            row.wpxEmail = "wpx" + std::to_string(id) + "@example.com";
        }
        addClient(row);

        const int accountCount = r.between(1, 3);
        std::vector<int> accounts;
        for (int a = 0; a < accountCount; ++a) {
            std::optional<int> groupId;
            if (a > 0 && id > 1 && r.chance(0.05))
                groupId = r.between(1, id - 1);
            addAccount(id, a, a == 0 ? std::string("Primary") : std::string(r.pick(kAccountNames)), groupId);
            accounts.push_back(a);
        }
        if (!activity)
            continue;
        addActivity(id, accounts, -1, -1);
        addRandomExtras(id, true);
        if (row.wpxAccess)
            for (int p = r.between(1, 2); p > 0; --p)
                addPermission(id, r.between(1, 4), 0);
    }

    // The heavy pair: every moved table, 50,000 transactions, and nothing that a check refuses.
    ClientRow to = randomClient(heavyTo);
    to.surname = "Benchmark";
    to.name = "Partner";
    to.active = true;
    addClient(to);
    addAccount(heavyTo, 0, "Primary");
    addAccount(heavyTo, 1, "Medicare");
    addActivity(heavyTo, {0, 1}, 2, 5);
    for (int category = 1; category <= 3; ++category)
        addCategory(heavyTo, category);
    addClientContact(heavyTo, 4, 4);
    addPermission(heavyTo, 1, 0);
    addPermission(heavyTo, 2, 0);

    ClientRow from = randomClient(heavyFrom);
    from.surname = "Benchmark";
    from.name = "Heavy";
    from.active = true;
    addClient(from);
    addAccount(heavyFrom, 0, "Primary");
    addAccount(heavyFrom, 1, "Medicare");
    addAccount(heavyFrom, 2, "DVA");
    AccountTable& trans = m_accountTables.front();
    const std::array<int, 3> transPerAccount = {30000, 15000, kHeavyTransRows - 45000};
    for (int a = 0; a < 3; ++a)
        for (int i = 0; i < transPerAccount[std::size_t(a)]; ++i)
            trans.addRow(*trans.statement, m_random, heavyFrom, a);
    for (std::size_t t = 1; t < m_accountTables.size(); ++t)
        for (int a = 0; a < 3; ++a)
            for (int i = 0; i < 1000; ++i)
                m_accountTables[t].addRow(*m_accountTables[t].statement, m_random, heavyFrom, a);
    for (ClientTable& table : m_clientTables)
        for (int i = 0; i < 200; ++i)
            table.addRow(*table.statement, m_random, heavyFrom);
    for (int category = 1; category <= 8; ++category)
        addCategory(heavyFrom, category);
    addClientContact(heavyFrom, 4, 4); // identical to the partner's
    addClientContact(heavyFrom, 5, 5);
    addClientContact(heavyFrom, 7, 8);
    for (int p = 1; p <= 4; ++p)
        addPermission(heavyFrom, p, 0);
    // A reset activated long ago: moved like any row, and nothing a pre-check refuses.
    addPasswordReset(heavyFrom, isoDateTime(kReferenceDay - 30), true);
    addPending(heavyFrom, std::nullopt, "Done");
    for (int i = 0; i < 5 && i < clients; ++i)
        addPending(r.between(1, clients), heavyFrom, "Waiting");
    long long updates = 0;
    Statement referrer(m_db, "UPDATE Client SET ReferredByID = ? WHERE ClientID = ?", updates);
    Statement referrer2(m_db, "UPDATE Client SET ReferredByID2 = ? WHERE ClientID = ?", updates);
    for (int i = 0; i < 25 && i < clients; ++i)
        referrer.insert(heavyFrom, r.between(1, clients));
    for (int i = 0; i < 10 && i < clients; ++i)
        referrer2.insert(heavyFrom, r.between(1, clients));
    addPair("heavy", heavyFrom, heavyTo,
            "50,000 transactions and rows in every moved table; account 0 and 1 merge, account 2 is added");
}

} // namespace kolvix::demo
