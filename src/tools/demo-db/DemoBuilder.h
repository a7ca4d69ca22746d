#pragma once

// The builder of a practice: the statements of every table it fills, clients with their
// accounts and activity, the sample practice, the large practice and the planted duplicates.

#include "tools/demo-db/ContentPools.h"
#include "tools/demo-db/SqliteDatabase.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kolvix::demo {

struct SampleClient;

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

    // The sample practice (SamplePractice): the named clients and pairs, then its ordinary clients.
    void buildSample();
    // Clients 1 to `clients` with random content, then the heavy pair.
    void buildLarge(int clients, bool activity);
    // Adds `count` clients that are the same person as an existing client among `sources`,
    // written again with the errors of a busy front desk, plus relatives, who are different
    // people: household members of other clients (the surname, address and home phone, another
    // given name and date of birth; now and then a twin), and families of their own: parents and
    // children of one name at one address and home phone, born 20 to 45 years apart; siblings of
    // alike names (Francis and Frances) born 1 to 12 years apart on other birthdays; adult twins
    // of alike names, each with a mobile and an e-mail address of their own. The true pairs go to
    // duplicatePairs(), the relatives to relativePairs(). With `everyKind` the errors take their
    // turns, so that each kind appears.
    void plantDuplicates(int firstId, const std::vector<int>& sources, int count, bool everyKind);

    // "source<TAB>duplicate<TAB>errors" lines of the planted duplicates.
    const std::vector<std::string>& duplicatePairs() const { return m_duplicatePairs; }
    // "client<TAB>relative<TAB>kind" lines of the planted relatives, who are different people.
    const std::vector<std::string>& relativePairs() const { return m_relativePairs; }

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
    // A client of the sample practice, with everything the sample gives it.
    void addSampleClient(const SampleClient& sample);
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
    std::vector<std::string> m_relativePairs;
    int m_contactCount = 0;
    // The claim number drawn for the client added last: its primary account (account 0) holds
    // it, as both search views read the claim number from the account.
    int m_claimClient = 0;
    std::string m_claimNumber;

    std::unique_ptr<Statement> m_client, m_account, m_contact, m_clientContact, m_patCat, m_permissions, m_pending,
        m_forgotPassword, m_wpxLink, m_relation, m_category, m_practitioner, m_systemData;
    std::vector<ClientTable> m_clientTables;
    std::vector<AccountTable> m_accountTables;
    sqlite3_int64 m_lastTransId = 0;
    sqlite3_int64 m_lastAppointId = 0;
    sqlite3_int64 m_lastStatementId = 0;
    sqlite3_int64 m_lastFolderId = 0;
};

} // namespace kolvix::demo
