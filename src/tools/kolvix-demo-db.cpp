// kolvix-demo-db: builds an SQLite practice database for demonstrations, tests and benchmarks.
//
//   kolvix-demo-db [--clients N] [--seed S] [--force] OUTPUT.db
//
// The database is built from the SQLite schema (schema/sqlite/schema.sql, carried inside this
// program as a resource) and filled in one transaction. OUTPUT.db is never overwritten unless
// --force is given; the file appears only once it is complete.
//
// Without --clients: a small sample practice of a few dozen clients, with named pairs of
// duplicate records that walk every interesting path of a merge. Each pair is printed after
// the build as "pair <name>: from <id> to <id>  (<what it shows>)":
//
//   basic      From 812 "Sample, One" (accounts 0=Primary, 2=WorkCover) to 57 "Sample, Two"
//              (accounts 0=Primary, 1=Medicare): account 0 merges into 0, account 2 is added.
//              812 has rows in every table that a merge moves: Trans, HICAPSDetail,
//              NewStatement, StatementActivityLog and InvoiceActivityLog on both accounts, every
//              client-keyed table, PatCat (categories 7 and 9; 57 already holds 7), ClientContact
//              (contacts that move, and one contact shared identically with 57), clients that
//              name 812 as referrer (ReferredByID and ReferredByID2), PXPendingClient rows with
//              812 as guest (no parent) and as parent (one of them with 57 as guest, which
//              refers to itself after the merge), PXClientForgotPassword rows that are expired
//              or activated, and PXClientPracPermissions rows that duplicate 57's after the
//              move. No account anywhere is linked to 812, so every check passes.
//   aliases    Accounts that merge through name aliases: "1st" > "Primary", "Medicare EPC" >
//              "Medicare", "Dept. of Vet." > "DVA", "W^Cover" > "WC", "mum" > "Parent"; the
//              account "Bulk Bill" matches nothing and is added.
//   linked     Accounts of two other clients are linked to the From client (GroupID): the merge
//              goes on with a warning and merges the primary accounts although their names
//              differ ("Family" and "Primary").
//   wpx        Refused: the From client has WPX enabled (access, verified, e-mail).
//   pending    Refused: the From client is a pending WPX client (a PXPendingClient row as guest,
//              no parent, and the client's PendingClient flag).
//   password   Refused: the From client has a WPX password reset pending (expires in 2099).
//   wpxmaster  Refused: other WPX clients are linked to the From client (PXClientLink.GroupID).
//   wpxlinked  Refused: the From client is linked to another WPX client (PXClientLink.ClientID).
//   contacts   Refused: the two clients hold different contacts in the same relation; they
//              also share one contact identically, which the report lists as well.
//   badgroup   Refused: the To client has an account linked to the From client.
//
// Besides the pairs: ordinary clients with their activity, a pending WPX client whose parent is
// 812, and SystemData with one row, UseFileNo 0.
//
// With --clients N: a large practice for benchmarks. Clients 1..N, each with 1 to 3 accounts and
// about 30 rows over the other tables, plus one heavy client N+1 (50,000 transactions and rows
// in every moved table) and its partner N+2, printed as "pair heavy: from N+1 to N+2".
// --no-activity leaves out the activity rows of clients 1..N (a quick database for the
// duplicate finder's benchmark).
//
// Planted duplicates: the sample practice holds 12 clients (401 to 412) that are clients 301 to
// 312 written again, each with another kind of error a front desk makes (a typing slip,
// transposed letters, a nickname, given name and surname swapped, a missing phone or e-mail,
// day and month of birth swapped, a date of birth one digit off, a changed surname with the
// same date of birth and mobile, a moved address, a new mobile, the preferred name as given
// name, capitals and blanks). --duplicates D plants D of them (in the large practice after the
// heavy pair, copies of random clients with one error and sometimes a second), and with them
// household members of other clients who are different people (another given name and date
// of birth; every fifth a twin). The true pairs are written to OUTPUT.db.duplicates.tsv, one
// line "client<TAB>duplicate<TAB>errors" each under a header line.
//
// --seed S makes the random content reproducible (the same seed gives the same database).

#include <QByteArray>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kolvix {
namespace {

constexpr const char* kUsage
    = "usage: kolvix-demo-db [--clients N] [--duplicates D] [--no-activity] [--seed S] [--force] OUTPUT.db\n"
      "  without --clients  a small sample practice with named duplicate pairs\n"
      "  --clients N        a large practice of N clients for benchmarks, plus one heavy pair\n"
      "  --duplicates D     plant D duplicate clients (the sample has 12) and write the true pairs\n"
      "                     to OUTPUT.db.duplicates.tsv\n"
      "  --no-activity      with --clients: clients and accounts only, no activity rows\n"
      "  --seed S           seed of the random content (default 1)\n"
      "  --force            replace OUTPUT.db when it exists\n";

constexpr int kHeavyTransRows = 50000;

class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------------------------
// Thin wrappers of the sqlite3 C interface
// ---------------------------------------------------------------------------------------------

class Database
{
public:
    explicit Database(const std::string& path)
    {
        const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
        if (sqlite3_open_v2(path.c_str(), &m_db, flags, nullptr) != SQLITE_OK) {
            const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
            sqlite3_close(m_db);
            throw std::runtime_error("cannot create " + path + ": " + message);
        }
    }
    ~Database() { sqlite3_close(m_db); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const std::string& sql)
    {
        char* error = nullptr;
        if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : sqlite3_errmsg(m_db);
            sqlite3_free(error);
            throw std::runtime_error(message);
        }
    }

    sqlite3* handle() const { return m_db; }
    sqlite3_int64 lastId() const { return sqlite3_last_insert_rowid(m_db); }

private:
    sqlite3* m_db = nullptr;
};

// A NULL value for Statement::insert.
struct Null
{
};

class Statement
{
public:
    Statement(Database& db, const std::string& sql, long long& rowCounter)
        : m_db(db)
        , m_rows(rowCounter)
    {
        if (sqlite3_prepare_v3(db.handle(), sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &m_stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sqlite3_errmsg(db.handle())) + " in: " + sql);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds the values to the parameters in order, runs the statement and gives the new rowid.
    template <typename... Values> sqlite3_int64 insert(const Values&... values)
    {
        int index = 1;
        (bind(index++, values), ...);
        if (sqlite3_step(m_stmt) != SQLITE_DONE) {
            const std::string message = sqlite3_errmsg(m_db.handle());
            sqlite3_reset(m_stmt);
            throw std::runtime_error(message + " in: " + sqlite3_sql(m_stmt));
        }
        sqlite3_reset(m_stmt);
        ++m_rows;
        return m_db.lastId();
    }

private:
    void bind(int i, int v) { sqlite3_bind_int(m_stmt, i, v); }
    void bind(int i, sqlite3_int64 v) { sqlite3_bind_int64(m_stmt, i, v); }
    void bind(int i, double v) { sqlite3_bind_double(m_stmt, i, v); }
    void bind(int i, Null) { sqlite3_bind_null(m_stmt, i); }
    void bind(int i, const char* v)
    {
        if (v)
            sqlite3_bind_text(m_stmt, i, v, -1, SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(m_stmt, i);
    }
    void bind(int i, const std::string& v) { sqlite3_bind_text(m_stmt, i, v.data(), int(v.size()), SQLITE_TRANSIENT); }
    template <typename T> void bind(int i, const std::optional<T>& v)
    {
        if (v)
            bind(i, *v);
        else
            sqlite3_bind_null(m_stmt, i);
    }

    Database& m_db;
    long long& m_rows;
    sqlite3_stmt* m_stmt = nullptr;
};

// ---------------------------------------------------------------------------------------------
// Dates and random content
// ---------------------------------------------------------------------------------------------

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian calendar).
constexpr int daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// 'YYYY-MM-DD hh:mm:ss' of a day number and the minutes into that day.
std::string isoDateTime(int days, int minutes = 0)
{
    days += 719468;
    const int era = (days >= 0 ? days : days - 146096) / 146097;
    const int doe = days - era * 146097;
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int d = doy - (153 * mp + 2) / 5 + 1;
    const int m = mp + (mp < 10 ? 3 : -9);
    const int y = yoe + era * 400 + (m <= 2);
    const unsigned minute = unsigned(minutes) % (24 * 60);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02u:%02u:00", y, unsigned(m), unsigned(d), minute / 60,
                  minute % 60);
    return text;
}

// The content is dated around this day, so that a seed always gives the same database.
constexpr int kReferenceDay = daysFromCivil(2024, 6, 30);

template <std::size_t N> using Pool = std::array<const char*, N>;

constexpr Pool<64> kSurnames
    = {"Smith",   "Jones",    "Williams", "Brown",   "Wilson",   "Taylor",  "Johnson",  "White",
       "Martin",  "Anderson", "Thompson", "Nguyen",  "Thomas",   "Walker",  "Harris",   "Lee",
       "Ryan",    "Robinson", "Kelly",    "King",    "Davis",    "Wright",  "Evans",    "Roberts",
       "Green",   "Hall",     "Wood",     "Jackson", "Clarke",   "Patel",   "Khan",     "Lewis",
       "James",   "Phillips", "Mitchell", "Turner",  "Campbell", "Murphy",  "Edwards",  "Cooper",
       "O'Brien", "Baker",    "Hughes",   "Parker",  "Collins",  "Stewart", "Morris",   "Tran",
       "Murray",  "Bell",     "Kennedy",  "Ward",    "Young",    "Watson",  "Price",    "Bennett",
       "Gray",    "Russell",  "Cook",     "Rogers",  "Morgan",   "Reid",    "Di Marco", "Papadopoulos"};
constexpr Pool<48> kGivenNames
    = {"Olivia", "Charlotte", "Amelia",  "Isla",  "Mia",    "Ava",    "Grace",   "Chloe",   "Sophie", "Ruby",
       "Emily",  "Zoe",       "Hannah",  "Lily",  "Ella",   "Sarah",  "Jessica", "Emma",    "Lucy",   "Anna",
       "Maria",  "Linh",      "Priya",   "Aisha", "Oliver", "Noah",   "Jack",    "William", "Leo",    "Lucas",
       "Thomas", "Henry",     "James",   "Ethan", "Samuel", "Daniel", "Max",     "Liam",    "Cooper", "Mason",
       "Joshua", "Ryan",      "Michael", "David", "Peter",  "Minh",   "Arjun",   "Omar"};
constexpr Pool<16> kStreets
    = {"High St",  "Main Rd",  "Church St", "Station Rd",  "Park Ave",      "Victoria St", "George St", "King St",
       "Queen St", "Beach Rd", "Hill St",   "Railway Pde", "Ocean View Dr", "Bridge Rd",   "Mill Lane", "Wattle Crt"};
struct Place
{
    const char* suburb;
    const char* state;
    const char* postCode;
};
constexpr std::array<Place, 12> kPlaces = {{{"Fitzroy", "VIC", "3065"},
                                            {"Carlton", "VIC", "3053"},
                                            {"Geelong", "VIC", "3220"},
                                            {"Newtown", "NSW", "2042"},
                                            {"Parramatta", "NSW", "2150"},
                                            {"Wollongong", "NSW", "2500"},
                                            {"Fortitude Valley", "QLD", "4006"},
                                            {"Toowoomba", "QLD", "4350"},
                                            {"Glenelg", "SA", "5045"},
                                            {"Fremantle", "WA", "6160"},
                                            {"Sandy Bay", "TAS", "7005"},
                                            {"Braddon", "ACT", "2612"}}};
constexpr Pool<20> kOccupations
    = {"Teacher",  "Nurse",     "Electrician", "Accountant", "Student", "Retired",  "Carpenter",
       "Engineer", "Chef",      "Farmer",      "Plumber",    "Lawyer",  "Designer", "Pharmacist",
       "Mechanic", "Librarian", "Barista",     "Musician",   "Manager", "Cleaner"};
constexpr Pool<6> kMailDomains
    = {"example.com", "mail.example.net", "inbox.example.org", "example.com.au", "post.example.com", "example.net.au"};
constexpr Pool<8> kTransItems = {"Initial consultation",
                                 "Standard consultation",
                                 "Long consultation",
                                 "Treatment",
                                 "Review",
                                 "Report",
                                 "Orthotics",
                                 "Home visit"};
constexpr Pool<5> kAccountNames = {"Medicare", "WorkCover", "DVA", "Private", "Parent"};
constexpr Pool<6> kRecallReasons
    = {"Annual review", "Follow up", "Check-up", "Treatment plan", "Vaccination", "X-ray review"};
constexpr Pool<5> kRegions = {"Lumbar spine", "Cervical spine", "Knee", "Shoulder", "Ankle"};

class Random
{
public:
    explicit Random(std::uint64_t seed)
        : m_engine(seed)
    {
    }
    // A whole number from lo to hi, both included.
    int between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_engine); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0.0, 1.0)(m_engine) < p; }
    double money(int lo, int hi) { return between(lo * 20, hi * 20) / 20.0; }
    template <std::size_t N> const char* pick(const Pool<N>& pool) { return pool[std::size_t(between(0, int(N) - 1))]; }
    // count random digits, after the prefix if there is one.
    std::string digits(int count, const std::string& prefix = {})
    {
        std::string text = prefix;
        for (int i = 0; i < count; ++i)
            text += char('0' + between(0, 9));
        return text;
    }
    // A day in the last `years` years before the reference day.
    std::string pastDate(int years = 8)
    {
        return isoDateTime(kReferenceDay - between(0, years * 365), between(8 * 60, 18 * 60));
    }
    std::string nearDate() { return isoDateTime(kReferenceDay + between(-60, 120), between(8 * 60, 18 * 60)); }

private:
    std::mt19937_64 m_engine;
};

// A text, or NULL when it is empty.
std::optional<std::string> textOrNull(std::string text)
{
    if (text.empty())
        return std::nullopt;
    return text;
}

// ---------------------------------------------------------------------------------------------
// The builder
// ---------------------------------------------------------------------------------------------

struct ClientRow
{
    int id = 0;
    std::string surname;
    std::string name;
    std::string preferredName;
    bool active = true;
    std::optional<int> referredBy;
    std::optional<int> referredBy2;
    bool isGroup = false;
    bool wpxAccess = false;
    bool wpxVerified = false;
    std::string wpxEmail;
    bool pending = false;
};

// One table that a merge moves, with its statement and the content of one row.
struct ClientTable
{
    std::unique_ptr<Statement> statement;
    std::function<void(Statement&, Random&, int client)> addRow;
    int lo = 0; // rows per ordinary client: max(0, a number from lo to hi)
    int hi = 0;
};
struct AccountTable
{
    std::unique_ptr<Statement> statement;
    std::function<void(Statement&, Random&, int client, int account)> addRow;
    int lo = 0; // rows per ordinary account, as above
    int hi = 0;
};

class DemoBuilder
{
public:
    DemoBuilder(Database& db, std::uint64_t seed)
        : m_db(db)
        , m_random(seed)
        , m_seed(seed)
    {
        prepare();
    }

    void buildSample();
    void buildLarge(int clients, bool activity);
    // Adds `count` clients that are the same person as an existing client among `sources`,
    // written again with the errors of a busy front desk, plus household members and twins of
    // other clients (different people who share a surname, an address and a telephone). The
    // true pairs go to duplicatePairs(). With `everyKind` the errors take their turns, so that
    // each kind appears.
    void plantDuplicates(int firstId, const std::vector<int>& sources, int count, bool everyKind);

    // "source<TAB>duplicate<TAB>errors" lines of the planted duplicates.
    const std::vector<std::string>& duplicatePairs() const { return m_duplicatePairs; }

    const std::vector<std::string>& pairs() const { return m_pairs; }
    long long rows() const { return m_rowCount; }

private:
    std::unique_ptr<Statement> make(const std::string& sql)
    {
        return std::make_unique<Statement>(m_db, sql, m_rowCount);
    }
    void prepare();

    void addReferenceData(int contacts);
    void addClient(const ClientRow& row);
    ClientRow randomClient(int id);
    void addAccount(int client, int account, const std::string& name, std::optional<int> groupId = std::nullopt);
    void addContact(int id, const char* title, const char* name, const char* surname, const char* company,
                    const char* type);
    void addClientContact(int client, int contact, int relation, const char* type = nullptr);
    void addCategory(int client, int category);
    void addPermission(int client, int pracId, int groupId);
    void addPending(std::optional<int> guest, std::optional<int> parent, const char* status);
    void addPasswordReset(int client, const std::string& expiry, bool activated);
    void addWpxLink(int client, int group);

    // Rows in the moved tables: `perTable` rows in every client-keyed table and `perAccount`
    // rows in every account-keyed table for each of the accounts; negative counts mean "random,
    // as for an ordinary client".
    void addActivity(int client, const std::vector<int>& accounts, int perTable, int perAccount);
    void addRandomExtras(int client, bool wpx);
    void addPair(const std::string& name, int from, int to, const std::string& what);

    Database& m_db;
    Random m_random;
    std::uint64_t m_seed;
    long long m_rowCount = 0;
    std::vector<std::string> m_pairs;
    std::vector<std::string> m_duplicatePairs;
    int m_contactCount = 0;

    std::unique_ptr<Statement> m_client, m_account, m_contact, m_clientContact, m_patCat, m_permissions, m_pending,
        m_forgotPassword, m_wpxLink, m_relation, m_category, m_practitioner, m_systemData;
    std::vector<ClientTable> m_clientTables;
    std::vector<AccountTable> m_accountTables;
    sqlite3_int64 m_lastTransId = 0;
    sqlite3_int64 m_lastAppointId = 0;
    sqlite3_int64 m_lastStatementId = 0;
    sqlite3_int64 m_lastFolderId = 0;
};

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

    m_practitioner->insert(1, "Dr", "Alice", "Morgan", "2041567A");
    m_practitioner->insert(2, "Dr", "Ben", "Hartley", "2177893B");
    m_practitioner->insert(3, "Ms", "Chloe", "Nguyen", "4410022C");
    m_practitioner->insert(4, "Mr", "Daniel", "Okafor", "4523318D");

    const std::array<const char*, 10> categories = {"VIP",    "Diabetic",   "Sports",    "Pensioner", "Overseas",
                                                    "No SMS", "Newsletter", "Workcover", "Overdue",   "New patient"};
    for (int i = 0; i < int(categories.size()); ++i)
        m_category->insert(i + 1, categories[std::size_t(i)]);

    // Mother and Father count as Parent when contacts are compared.
    m_relation->insert(1, "Mother", 3);
    m_relation->insert(2, "Father", 3);
    m_relation->insert(3, "Parent", 3);
    m_relation->insert(4, "Spouse", 4);
    m_relation->insert(5, "GP", 5);
    m_relation->insert(6, "Specialist", 6);
    m_relation->insert(7, "Emergency Contact", 7);
    m_relation->insert(8, "Employer", 8);
    m_relation->insert(9, "Guardian", 9);

    // Contacts 1..10 are named (the sample pairs use them); the rest, up to `contacts` but at
    // least 40, are random doctors and family members.
    addContact(1, "Dr", "Helen", "Park", "Northside Medical", "GP");
    addContact(2, "Dr", "Omar", "Said", "Harbour Family Practice", "GP");
    addContact(3, "Dr", "Rachel", "Stone", "City Orthopaedics", "Specialist");
    addContact(4, nullptr, "Peter", "Contos", nullptr, "Family");
    addContact(5, "Dr", "Ian", "Fraser", "Bayside Clinic", "GP");
    addContact(6, nullptr, "Margaret", "Sample", nullptr, "Family");
    addContact(7, nullptr, nullptr, nullptr, "Acme Logistics", "Employer");
    addContact(8, "Dr", "Wei", "Chen", "Parkview Surgery", "GP");
    addContact(9, nullptr, "Elena", "Contos", nullptr, "Family");
    addContact(10, "Dr", "Samuel", "Adeyemi", "Sports Medicine Centre", "Specialist");
    int id = 11;
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

    m_client->insert(
        row.id, female ? "Ms" : "Mr", row.name, row.surname, textOrNull(row.preferredName), row.active ? "T" : "F",
        female ? "F" : "M", isoDateTime(born), std::to_string(r.between(1, 250)) + " " + r.pick(kStreets), place.suburb,
        place.state, place.postCode, textOrNull(r.chance(0.5) ? landLine() : ""),
        textOrNull(r.chance(0.3) ? landLine() : ""),
        textOrNull(r.chance(0.85) ? "04" + r.digits(2) + " " + r.digits(3) + " " + r.digits(3) : ""), textOrNull(email),
        r.pick(kOccupations), std::string(fileNo), textOrNull(r.chance(0.1) ? "C" + r.digits(7) : ""),
        std::string(bpay), r.digits(10), r.between(1, 4), row.referredBy, row.referredBy2, int(row.isGroup),
        int(row.wpxAccess), int(row.wpxVerified), textOrNull(row.wpxEmail), int(row.pending), r.pastDate(10));
}

void DemoBuilder::addAccount(int client, int account, const std::string& name, std::optional<int> groupId)
{
    char bpay[16];
    std::snprintf(bpay, sizeof bpay, "%08d%02d", client % 100000000, account % 100);
    const bool workCover = name == "WorkCover" || name == "W^Cover";
    m_account->insert(client, account, groupId, textOrNull(workCover ? "WC" + m_random.digits(6) : ""),
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

void DemoBuilder::buildSample()
{
    addReferenceData(40);
    const auto named = [this](int id, const char* surname, const char* name) {
        ClientRow row = randomClient(id);
        row.surname = surname;
        row.name = name;
        row.preferredName.clear();
        row.active = true;
        return row;
    };
    const std::string farFuture = "2099-12-31 00:00:00";
    const std::string expired = isoDateTime(kReferenceDay - 400, 10 * 60);

    // basic: 812 "Sample, One" into 57 "Sample, Two".
    addClient(named(57, "Sample", "Two"));
    addAccount(57, 0, "Primary");
    addAccount(57, 1, "Medicare");
    addActivity(57, {0, 1}, 1, 2);
    addCategory(57, 7);
    addClientContact(57, 6, 7, "Family"); // shared identically with 812
    addClientContact(57, 1, 6);
    addPermission(57, 1, 0);

    addClient(named(812, "Sample", "One"));
    addAccount(812, 0, "Primary");
    addAccount(812, 2, "WorkCover");
    addActivity(812, {0, 2}, 2, 3);
    addCategory(812, 7);
    addCategory(812, 9);
    addClientContact(812, 6, 7, "family"); // same contact, relation and type (another case): identical
    addClientContact(812, 7, 8); // employer: 57 has none, so it moves
    addClientContact(812, 8, 5); // GP: 57 has none, so it moves
    addPermission(812, 1, 0); // duplicates 57's once moved
    addPermission(812, 2, 0);
    addPasswordReset(812, expired, false);
    addPasswordReset(812, farFuture, true);

    ClientRow referred = named(101, "Sample", "Junior");
    referred.referredBy = 812;
    addClient(referred);
    addAccount(101, 0, "Primary");
    referred = named(102, "Harper", "Louise");
    referred.referredBy2 = 812;
    addClient(referred);
    addAccount(102, 0, "Primary");
    referred = named(103, "Vance", "Oscar");
    referred.referredBy = 812;
    referred.referredBy2 = 57;
    addClient(referred);
    addAccount(103, 0, "Primary");
    // A pending WPX client registered by 812.
    ClientRow guest = named(104, "Sample", "Baby");
    guest.pending = true;
    addClient(guest);
    addPending(104, 812, "Waiting");
    addPending(812, std::nullopt, "Done");
    addPending(57, 812, "Waiting"); // refers to itself after the merge, and is then cleared
    addPair("basic", 812, 57, "account 0 merges into 0, account 2 is added as 2; rows in every moved table");

    // aliases
    addClient(named(202, "Nguyen", "Thi"));
    addAccount(202, 0, "Primary");
    addAccount(202, 1, "Medicare");
    addAccount(202, 2, "DVA");
    addAccount(202, 3, "WC");
    addAccount(202, 4, "Parent");
    addActivity(202, {0, 1, 2, 3, 4}, 0, 1);
    addClient(named(201, "Nguyen", "Thi"));
    const std::array<const char*, 6> aliasNames
        = {"1st", "Medicare EPC", "Dept. of Vet.", "W^Cover", "mum", "Bulk Bill"};
    for (int i = 0; i < int(aliasNames.size()); ++i)
        addAccount(201, i, aliasNames[std::size_t(i)]);
    addActivity(201, {0, 1, 2, 3, 4, 5}, 1, 2);
    addPair("aliases", 201, 202,
            "accounts merge through aliases: 1st > Primary, Medicare EPC > Medicare, Dept. of Vet. > DVA, "
            "W^Cover > WC, mum > Parent; Bulk Bill is added");

    // linked
    addClient(named(272, "Lincoln", "Grace"));
    addAccount(272, 0, "Primary");
    addAccount(272, 1, "Medicare");
    addActivity(272, {0, 1}, 0, 1);
    ClientRow group = named(271, "Lincoln", "Grace");
    group.isGroup = true;
    addClient(group);
    addAccount(271, 0, "Family");
    addAccount(271, 1, "Medicare");
    addActivity(271, {0, 1}, 1, 2);
    addClient(named(273, "Lincoln", "Ivy"));
    addAccount(273, 0, "Primary");
    addAccount(273, 1, "Family", 271);
    addClient(named(274, "Lincoln", "Jack"));
    addAccount(274, 0, "Family", 271);
    addPair("linked", 271, 272,
            "merges with a warning: accounts of 273 and 274 are linked to the From client; the primary accounts "
            "merge although their names differ");

    // wpx
    addClient(named(212, "Walker", "Paul"));
    addAccount(212, 0, "Primary");
    ClientRow wpx = named(211, "Walker", "Paul");
    wpx.wpxAccess = wpx.wpxVerified = true;
    wpx.wpxEmail = "paul.walker@example.com";
    addClient(wpx);
    addAccount(211, 0, "Primary");
    addActivity(211, {0}, 1, 1);
    addPair("wpx", 211, 212, "refused: the From client has WPX enabled");

    // pending
    addClient(named(222, "Penn", "Sophie"));
    addAccount(222, 0, "Primary");
    ClientRow pending = named(221, "Penn", "Sophie");
    pending.pending = true;
    addClient(pending);
    addAccount(221, 0, "Primary");
    addPending(221, std::nullopt, "Waiting");
    addPair("pending", 221, 222, "refused: the From client is a pending WPX client");

    // password
    addClient(named(232, "Quinn", "Harriet"));
    addAccount(232, 0, "Primary");
    ClientRow reset = named(231, "Quinn", "Harriet");
    reset.wpxAccess = true;
    reset.wpxEmail = "harriet.quinn@example.com";
    addClient(reset);
    addAccount(231, 0, "Primary");
    addPasswordReset(231, farFuture, false);
    addPair("password", 231, 232, "refused: the From client has a WPX password reset pending");

    // wpxmaster
    addClient(named(242, "Marsh", "Edward"));
    addAccount(242, 0, "Primary");
    addClient(named(241, "Marsh", "Edward"));
    addAccount(241, 0, "Primary");
    addClient(named(243, "Marsh", "Lily"));
    addAccount(243, 0, "Primary");
    addWpxLink(243, 241);
    addPair("wpxmaster", 241, 242, "refused: WPX client 243 is linked to the From client");

    // wpxlinked
    addClient(named(252, "Linden", "Rosa"));
    addAccount(252, 0, "Primary");
    addClient(named(251, "Linden", "Rosa"));
    addAccount(251, 0, "Primary");
    addClient(named(253, "Linden", "Marco"));
    addAccount(253, 0, "Primary");
    addWpxLink(251, 253);
    addPair("wpxlinked", 251, 252, "refused: the From client is linked to WPX client 253");

    // contacts
    addClient(named(262, "Contos", "Maria"));
    addAccount(262, 0, "Primary");
    addClientContact(262, 1, 5);
    addClientContact(262, 4, 4);
    addClient(named(261, "Contos", "Maria"));
    addAccount(261, 0, "Primary");
    addClientContact(261, 2, 5); // another GP in the same relation: conflict
    addClientContact(261, 4, 4); // the same spouse, the same way: identical
    addClientContact(261, 9, 1); // a contact the To client lacks
    addPair("contacts", 261, 262,
            "refused: different contacts in the same relation (GP); one identical contact listed as well");

    // badgroup
    addClient(named(281, "Baird", "Tom"));
    addAccount(281, 0, "Primary");
    addClient(named(282, "Baird", "Tom"));
    addAccount(282, 0, "Primary");
    addAccount(282, 1, "Family", 281);
    addPair("badgroup", 281, 282, "refused: the To client has an account linked to the From client");

    // Ordinary clients.
    for (int id = 301; id <= 312; ++id) {
        ClientRow row = randomClient(id);
        row.active = id != 312;
        if (id > 301 && m_random.chance(0.3))
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
    addPasswordReset(heavyFrom, isoDateTime(kReferenceDay - 30), false);
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

// ---------------------------------------------------------------------------------------------
// Planted duplicates
// ---------------------------------------------------------------------------------------------

namespace {

// Short forms of the given names of the pool, as a front desk writes them.
constexpr std::array<std::pair<const char*, const char*>, 24> kNicknames
    = {{{"Olivia", "Liv"},   {"Charlotte", "Lottie"}, {"Amelia", "Millie"}, {"Sophie", "Sophia"}, {"Emily", "Em"},
        {"Sarah", "Sally"},  {"Jessica", "Jess"},     {"Anna", "Annie"},    {"Oliver", "Ollie"},  {"William", "Bill"},
        {"Thomas", "Tom"},   {"Henry", "Harry"},      {"James", "Jim"},     {"Samuel", "Sam"},    {"Daniel", "Danny"},
        {"Joshua", "Josh"},  {"Michael", "Mike"},     {"David", "Dave"},    {"Peter", "Pete"},    {"Jack", "John"},
        {"Liam", "William"}, {"Lucas", "Luke"},       {"Hannah", "Anna"},   {"Zoe", "Zoey"}}};

// One client row as the planting reads and writes it: the columns of kPlantedColumns, in order.
constexpr const char* kPlantedColumns
    = "Title, Name, Surname, PreferredName, Active, Sex, DateOfBirth, Address, Suburb, State, PostCode, HomePhone, "
      "WorkPhone, Mobile, Email, Occupation, PractitionerID";
enum PlantedColumn {
    cTitle,
    cName,
    cSurname,
    cPreferred,
    cActive,
    cSex,
    cBirth,
    cAddress,
    cSuburb,
    cState,
    cPostCode,
    cHome,
    cWork,
    cMobile,
    cEmail,
    cOccupation,
    cPractitioner,
    cColumnCount
};
using PlantedRow = std::array<std::optional<std::string>, cColumnCount>;

std::string typo(Random& r, const std::string& word)
{
    if (word.size() < 3)
        return word + word.back();
    std::string out = word;
    const std::size_t at = std::size_t(r.between(1, int(word.size()) - 1));
    switch (r.between(0, 2)) {
    case 0: // a wrong letter
        out[at] = char('a' + (out[at] - 'a' + r.between(1, 25)) % 26);
        if (out[at] < 'a' || out[at] > 'z')
            out[at] = 'e';
        break;
    case 1: // a letter left out
        out.erase(at, 1);
        break;
    default: // a letter doubled
        out.insert(at, 1, out[at]);
        break;
    }
    return out;
}

std::string transposed(Random& r, const std::string& word)
{
    if (word.size() < 3)
        return word;
    std::string out = word;
    const std::size_t at = std::size_t(r.between(1, int(word.size()) - 2));
    std::swap(out[at], out[at + 1]);
    return out == word ? typo(r, word) : out;
}

std::string dateOnly(const std::string& isoDateTime)
{
    return isoDateTime.substr(0, 10);
}

std::string mobileNumber(Random& r)
{
    return "04" + r.digits(2) + " " + r.digits(3) + " " + r.digits(3);
}

} // namespace

void DemoBuilder::plantDuplicates(int firstId, const std::vector<int>& sources, int count, bool everyKind)
{
    if (sources.empty() || count <= 0)
        return;
    Random r(m_seed * 7919 + 104729);
    Statement insert(
        m_db,
        std::string("INSERT INTO Client (ClientID, ") + kPlantedColumns
            + ", FileNo, BPayRefNo, IsAGroup, CreatedDate) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
        m_rowCount);
    // Group clients are never copied: a duplicate is a person.
    sqlite3_stmt* select = nullptr;
    const std::string selectSql
        = std::string("SELECT ") + kPlantedColumns + " FROM Client WHERE ClientID = ? AND IsAGroup = 0";
    if (sqlite3_prepare_v2(m_db.handle(), selectSql.c_str(), -1, &select, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(m_db.handle()));
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> selectOwner(select, sqlite3_finalize);
    const auto readRow = [&](int id) {
        PlantedRow row;
        sqlite3_bind_int(select, 1, id);
        if (sqlite3_step(select) == SQLITE_ROW)
            for (int c = 0; c < cColumnCount; ++c)
                if (const unsigned char* text = sqlite3_column_text(select, c))
                    row[std::size_t(c)] = reinterpret_cast<const char*>(text);
        sqlite3_reset(select);
        return row;
    };
    int nextId = firstId;
    const auto write = [&](const PlantedRow& row) {
        const int id = nextId++;
        char bpay[16];
        std::snprintf(bpay, sizeof bpay, "%08d%02d", id % 100000000, 0);
        char fileNo[16];
        std::snprintf(fileNo, sizeof fileNo, "F%06d", id % 1000000);
        insert.insert(id, row[cTitle], row[cName], row[cSurname], row[cPreferred], row[cActive], row[cSex], row[cBirth],
                      row[cAddress], row[cSuburb], row[cState], row[cPostCode], row[cHome], row[cWork], row[cMobile],
                      row[cEmail], row[cOccupation], row[cPractitioner], std::string(fileNo), std::string(bpay), 0,
                      r.pastDate(3));
        addAccount(id, 0, "Primary");
        return id;
    };

    // The errors, one of them (in turn with everyKind) and sometimes a second of the lighter ones.
    enum Kind {
        Typo,
        Transposed,
        Nickname,
        Swapped,
        MissingContact,
        DayMonth,
        DateDigit,
        NewSurname,
        Moved,
        NewMobile,
        Preferred,
        Capitals,
        kKinds
    };
    static const char* const kKindNames[kKinds] = {"typing slip",
                                                   "transposed letters",
                                                   "nickname",
                                                   "given name and surname swapped",
                                                   "missing phone or e-mail",
                                                   "day and month of birth swapped",
                                                   "date of birth one digit off",
                                                   "changed surname",
                                                   "moved address",
                                                   "new mobile",
                                                   "preferred name as given name",
                                                   "capitals and blanks"};
    const auto apply = [&](Kind kind, PlantedRow& row) -> bool {
        std::string& surname = *row[cSurname];
        std::string& name = *row[cName];
        switch (kind) {
        case Typo:
            if (r.chance(0.6))
                surname = typo(r, surname);
            else
                name = typo(r, name);
            return true;
        case Transposed:
            if (r.chance(0.6))
                surname = transposed(r, surname);
            else
                name = transposed(r, name);
            return true;
        case Nickname:
            for (const auto& [full, shortName] : kNicknames)
                if (name == full) {
                    name = shortName;
                    return true;
                }
            return false;
        case Swapped:
            std::swap(surname, name);
            return true;
        case MissingContact: {
            bool changed = false;
            if (row[cMobile] && r.chance(0.5)) {
                row[cMobile].reset();
                changed = true;
            }
            if (row[cEmail] && (!changed || r.chance(0.3))) {
                row[cEmail].reset();
                changed = true;
            }
            if (row[cHome] && (!changed || r.chance(0.3))) {
                row[cHome].reset();
                changed = true;
            }
            return changed;
        }
        case DayMonth: {
            if (!row[cBirth])
                return false;
            const std::string date = dateOnly(*row[cBirth]);
            const std::string month = date.substr(5, 2), day = date.substr(8, 2);
            if (day == month || std::stoi(day) > 12)
                return false;
            row[cBirth] = date.substr(0, 5) + day + "-" + month + " 00:00:00";
            return true;
        }
        case DateDigit: {
            if (!row[cBirth])
                return false;
            std::string date = dateOnly(*row[cBirth]);
            // One digit of the year's last two, the month's or the day's, changed so that the date stays valid.
            for (int attempt = 0; attempt < 10; ++attempt) {
                std::string changed = date;
                const std::array<std::size_t, 4> positions = {2, 3, 6, 9};
                const std::size_t at = positions[std::size_t(r.between(0, 3))];
                changed[at] = char('0' + (changed[at] - '0' + r.between(1, 9)) % 10);
                const int y = std::stoi(changed.substr(0, 4)), m = std::stoi(changed.substr(5, 2)),
                          d = std::stoi(changed.substr(8, 2));
                if (m >= 1 && m <= 12 && d >= 1 && d <= 28 && y <= 2024 && y >= 1920) {
                    row[cBirth] = changed + " 00:00:00";
                    return true;
                }
            }
            return false;
        }
        case NewSurname:
            // Married: a new surname; the date of birth and the mobile stay.
            if (!row[cMobile])
                return false;
            for (std::string other = r.pick(kSurnames);; other = r.pick(kSurnames))
                if (other != surname) {
                    surname = other;
                    break;
                }
            if (row[cEmail] && r.chance(0.5))
                row[cEmail].reset();
            return true;
        case Moved: {
            const Place& place = kPlaces[std::size_t(r.between(0, int(kPlaces.size()) - 1))];
            row[cAddress] = std::to_string(r.between(1, 250)) + " " + r.pick(kStreets);
            row[cSuburb] = place.suburb;
            row[cState] = place.state;
            row[cPostCode] = place.postCode;
            if (row[cHome])
                row[cHome] = "(0" + std::to_string(r.between(2, 8)) + ") " + r.digits(4) + " " + r.digits(4);
            return true;
        }
        case NewMobile:
            row[cMobile] = mobileNumber(r);
            return true;
        case Preferred:
            if (!row[cPreferred])
                return false;
            name = *row[cPreferred];
            row[cPreferred].reset();
            return true;
        case Capitals: {
            for (char& c : surname)
                c = char(std::toupper(static_cast<unsigned char>(c)));
            surname += " ";
            if (row[cMobile]) { // written without blanks
                std::string digits;
                for (char c : *row[cMobile])
                    if (c != ' ')
                        digits += c;
                row[cMobile] = digits;
            }
            return true;
        }
        case kKinds:
            break;
        }
        return false;
    };

    for (int i = 0; i < count; ++i) {
        std::vector<std::string> errors;
        int source = 0;
        PlantedRow row;
        Kind first = kKinds;
        if (everyKind) {
            // The kind in turn, on the first source from the turn's own that it fits.
            const Kind kind = Kind(i % kKinds);
            for (std::size_t s = 0; s < sources.size() && first == kKinds; ++s) {
                source = sources[(std::size_t(i) + s) % sources.size()];
                row = readRow(source);
                if (row[cSurname] && row[cName] && apply(kind, row))
                    first = kind;
            }
        } else {
            source = sources[std::size_t(r.between(0, int(sources.size()) - 1))];
            row = readRow(source);
            for (int attempt = 0; row[cSurname] && row[cName] && first == kKinds && attempt < 20; ++attempt) {
                const Kind kind = Kind(r.between(0, kKinds - 1));
                if (apply(kind, row))
                    first = kind;
            }
        }
        if (first == kKinds)
            continue;
        errors.push_back(kKindNames[first]);
        if (!everyKind && r.chance(0.35)) {
            constexpr std::array<Kind, 5> lighter = {Typo, MissingContact, Moved, NewMobile, Capitals};
            const Kind second = lighter[std::size_t(r.between(0, int(lighter.size()) - 1))];
            if (second != first && apply(second, row))
                errors.push_back(kKindNames[second]);
        }
        row[cActive] = !everyKind && r.chance(0.1) ? "F" : "T";
        std::string what;
        for (const std::string& e : errors)
            what += (what.empty() ? "" : ", ") + e;
        const int id = write(row);
        m_duplicatePairs.push_back(std::to_string(source) + "\t" + std::to_string(id) + "\t" + what);
    }

    // Different people who share a household: a relative with another given name and date of
    // birth, and now and then a twin (the same date of birth).
    const int relatives = std::max(1, count / 4);
    for (int i = 0; i < relatives; ++i) {
        const int source = sources[std::size_t(r.between(0, int(sources.size()) - 1))];
        PlantedRow row = readRow(source);
        if (!row[cName] || !row[cBirth])
            continue;
        const bool twin = i % 5 == 0;
        for (std::string other = r.pick(kGivenNames);; other = r.pick(kGivenNames))
            if (other != *row[cName]) {
                row[cName] = other;
                break;
            }
        row[cPreferred].reset();
        if (!twin)
            row[cBirth] = isoDateTime(kReferenceDay - r.between(2 * 365, 90 * 365));
        row[cMobile] = r.chance(0.7) ? std::optional<std::string>(mobileNumber(r)) : std::nullopt;
        if (!r.chance(0.3))
            row[cEmail].reset();
        row[cActive] = "T";
        write(row);
    }
}

// ---------------------------------------------------------------------------------------------
// Command line
// ---------------------------------------------------------------------------------------------

struct Options
{
    std::optional<int> clients;
    std::optional<int> duplicates;
    bool activity = true;
    std::uint64_t seed = 1;
    bool force = false;
    std::string output;
};

long long parseNumber(const std::string& option, const std::string& text, long long lo, long long hi)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        throw UsageError(option + " needs a whole number, not '" + text + "'");
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
    if (errno == ERANGE || value < static_cast<unsigned long long>(lo) || value > static_cast<unsigned long long>(hi))
        throw UsageError(option + " must be from " + std::to_string(lo) + " to " + std::to_string(hi));
    return static_cast<long long>(value);
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0) {
            const std::size_t equals = arg.find('=');
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
                arg = arg.substr(0, equals);
                hasValue = true;
            }
        }
        const auto takeValue = [&]() {
            if (hasValue)
                return value;
            if (i + 1 >= argc)
                throw UsageError(arg + " needs a value");
            return std::string(argv[++i]);
        };
        if (arg == "--clients")
            options.clients = int(parseNumber(arg, takeValue(), 1, 10000000));
        else if (arg == "--duplicates")
            options.duplicates = int(parseNumber(arg, takeValue(), 0, 1000000));
        else if (arg == "--no-activity" && !hasValue)
            options.activity = false;
        else if (arg == "--seed")
            options.seed = std::uint64_t(parseNumber(arg, takeValue(), 0, 999999999999999999LL));
        else if (arg == "--force" && !hasValue)
            options.force = true;
        else if (arg.rfind("-", 0) == 0 && arg != "-")
            throw UsageError("unknown option " + std::string(argv[i]));
        else if (!options.output.empty())
            throw UsageError("only one output file, please");
        else
            options.output = arg;
    }
    if (options.output.empty())
        throw UsageError("no output file given");
    return options;
}

std::string loadSchema()
{
    QFile file(QStringLiteral(":/schema/sqlite/schema.sql"));
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("the SQLite schema is missing from this program");
    return file.readAll().toStdString();
}

void removeDatabaseFiles(const std::filesystem::path& path)
{
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::filesystem::remove(std::filesystem::path(path.string() + "-journal"), ignored);
}

int run(int argc, char** argv)
{
    Options options;
    try {
        for (int i = 1; i < argc; ++i)
            if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
                std::fputs(kUsage, stdout);
                return 0;
            }
        options = parseOptions(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "kolvix-demo-db: %s\n%s", e.what(), kUsage);
        return 2;
    }

    const std::filesystem::path output(options.output);
    std::error_code error;
    if (std::filesystem::exists(output, error) && !options.force) {
        std::fprintf(stderr, "kolvix-demo-db: %s exists; use --force to replace it\n", options.output.c_str());
        return 1;
    }
    // Built beside the target and moved into place when complete.
    const std::filesystem::path partial(options.output + ".part");
    removeDatabaseFiles(partial);

    const auto started = std::chrono::steady_clock::now();
    std::vector<std::string> pairs;
    std::vector<std::string> duplicatePairs;
    long long rows = 0;
    // The true pairs of the planted duplicates, beside the database.
    const std::filesystem::path truth(options.output + ".duplicates.tsv");
    const std::filesystem::path partialTruth(options.output + ".duplicates.tsv.part");
    try {
        const std::string schema = loadSchema();
        {
            Database db(partial.string());
            db.exec("PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; PRAGMA temp_store = MEMORY; "
                    "PRAGMA cache_size = -262144; PRAGMA locking_mode = EXCLUSIVE;");
            db.exec("BEGIN");
            db.exec(schema);
            {
                DemoBuilder builder(db, options.seed);
                if (options.clients) {
                    builder.buildLarge(*options.clients, options.activity);
                    std::vector<int> sources(std::size_t(*options.clients));
                    std::iota(sources.begin(), sources.end(), 1);
                    builder.plantDuplicates(*options.clients + 3, sources, options.duplicates.value_or(0), false);
                } else {
                    builder.buildSample();
                    builder.plantDuplicates(401, {301, 302, 303, 304, 305, 306, 307, 308, 309, 310, 311, 312},
                                            options.duplicates.value_or(12), true);
                }
                pairs = builder.pairs();
                duplicatePairs = builder.duplicatePairs();
                rows = builder.rows();
            }
            db.exec("COMMIT");
            db.exec("PRAGMA analysis_limit = 1000; ANALYZE; "
                    "PRAGMA journal_mode = DELETE; PRAGMA locking_mode = NORMAL;");
        }
        if (!duplicatePairs.empty()) {
            std::FILE* file = std::fopen(partialTruth.string().c_str(), "w");
            if (!file)
                throw std::runtime_error("cannot write " + partialTruth.string());
            std::fputs("Client\tDuplicate\tErrors\n", file);
            for (const std::string& line : duplicatePairs)
                std::fprintf(file, "%s\n", line.c_str());
            if (std::fclose(file) != 0)
                throw std::runtime_error("cannot write " + partialTruth.string());
        }
        if (options.force)
            removeDatabaseFiles(output);
        std::filesystem::remove(truth, error);
        std::filesystem::rename(partial, output);
        if (!duplicatePairs.empty())
            std::filesystem::rename(partialTruth, truth);
    } catch (const std::exception& e) {
        removeDatabaseFiles(partial);
        std::filesystem::remove(partialTruth, error);
        std::fprintf(stderr, "kolvix-demo-db: %s\n", e.what());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    std::printf("created %s: %lld rows in %.1f s\n", options.output.c_str(), rows, seconds);
    for (const std::string& line : pairs)
        std::printf("%s\n", line.c_str());
    if (!duplicatePairs.empty())
        std::printf("duplicates: %zu planted; the true pairs are in %s\n", duplicatePairs.size(),
                    truth.string().c_str());
    return 0;
}

} // namespace
} // namespace kolvix

int main(int argc, char** argv)
{
    return kolvix::run(argc, argv);
}
