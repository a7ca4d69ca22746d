#pragma once

// The fixed rows of the generated practices, as data: the reference data every practice holds
// and the sample practice's named clients and pairs. DemoBuilder writes them in this order; the
// columns they leave open are filled with random content, as for any client.

#include <array>
#include <optional>
#include <vector>

namespace kolvix::demo {

// ---- Reference data ----------------------------------------------------------------------------

struct PractitionerRow
{
    int id;
    const char* title;
    const char* name;
    const char* surname;
    const char* providerNumber;
};
inline constexpr std::array<PractitionerRow, 4> kPractitioners = {{
    {1, "Dr", "Alice", "Morgan", "2041567A"},
    {2, "Dr", "Ben", "Hartley", "2177893B"},
    {3, "Ms", "Chloe", "Nguyen", "4410022C"},
    {4, "Mr", "Daniel", "Okafor", "4523318D"},
}};

// Categories 1 to 10.
inline constexpr std::array<const char*, 10> kCategories
    = {"VIP",    "Diabetic",   "Sports",    "Pensioner", "Overseas",
       "No SMS", "Newsletter", "Workcover", "Overdue",   "New patient"};

struct RelationRow
{
    int id;
    const char* description;
    int mergeId;
};
// Mother and Father count as Parent when contacts are compared.
inline constexpr std::array<RelationRow, 9> kRelations = {{
    {1, "Mother", 3},
    {2, "Father", 3},
    {3, "Parent", 3},
    {4, "Spouse", 4},
    {5, "GP", 5},
    {6, "Specialist", 6},
    {7, "Emergency Contact", 7},
    {8, "Employer", 8},
    {9, "Guardian", 9},
}};

// A contact; nullptr for a NULL column. The phone number is random.
struct ContactRow
{
    int id;
    const char* title;
    const char* name;
    const char* surname;
    const char* company;
    const char* type;
};
// Contacts 1 to 10 are named (the sample pairs use them); the rest are random.
inline constexpr std::array<ContactRow, 10> kNamedContacts = {{
    {1, "Dr", "Helen", "Park", "Northside Medical", "GP"},
    {2, "Dr", "Omar", "Said", "Harbour Family Practice", "GP"},
    {3, "Dr", "Rachel", "Stone", "City Orthopaedics", "Specialist"},
    {4, nullptr, "Peter", "Contos", nullptr, "Family"},
    {5, "Dr", "Ian", "Fraser", "Bayside Clinic", "GP"},
    {6, nullptr, "Margaret", "Sample", nullptr, "Family"},
    {7, nullptr, nullptr, nullptr, "Acme Logistics", "Employer"},
    {8, "Dr", "Wei", "Chen", "Parkview Surgery", "GP"},
    {9, nullptr, "Elena", "Contos", nullptr, "Family"},
    {10, "Dr", "Samuel", "Adeyemi", "Sports Medicine Centre", "Specialist"},
}};

// ---- The sample practice -----------------------------------------------------------------------

struct SampleAccount
{
    int account;
    const char* name;
    int groupId = 0; // the client the account is linked to; 0 for none
};
struct SampleContact
{
    int contact;
    int relation;
    const char* type = nullptr;
};
struct SamplePermission
{
    int pracId;
    int groupId;
};
struct SamplePasswordReset
{
    const char* expiry;
    bool activated;
};
// A PXPendingClient row; 0 for a NULL client.
struct SamplePending
{
    int guest;
    int parent;
    const char* status;
};
struct SampleWpxLink
{
    int client;
    int group;
};
// Rows in the moved tables: so many in every client-keyed table, and so many in every
// account-keyed table for each of the client's accounts.
struct SampleActivity
{
    int perTable;
    int perAccount;
};

// A named client of the sample practice and the rows that belong to it, written in this order:
// the client, its accounts, activity, categories, contacts, WPX permissions, password resets,
// pending registrations and WPX links. The columns not given here are random.
struct SampleClient
{
    int id = 0;
    const char* surname = nullptr;
    const char* name = nullptr;
    int referredBy = 0; // 0 for none
    int referredBy2 = 0;
    bool isGroup = false;
    bool pending = false; // the client's PendingClient flag
    bool wpxAccess = false;
    bool wpxVerified = false;
    const char* wpxEmail = nullptr;
    std::vector<SampleAccount> accounts = {};
    std::optional<SampleActivity> activity = {};
    std::vector<int> categories = {};
    std::vector<SampleContact> contacts = {};
    std::vector<SamplePermission> permissions = {};
    std::vector<SamplePasswordReset> passwordResets = {};
    std::vector<SamplePending> pendingRows = {};
    std::vector<SampleWpxLink> wpxLinks = {};
};

// The named clients, in the order they are written.
const std::vector<SampleClient>& sampleClients();

// A named pair, printed after the build as "pair <name>: from <from> to <to>  (<what>)".
struct SamplePair
{
    const char* name;
    int from;
    int to;
    const char* what;
};
const std::vector<SamplePair>& samplePairs();

// After the named clients the sample practice holds ordinary clients with random content;
// its planted duplicates are copies of them.
constexpr int kSampleOrdinaryFirst = 301;
constexpr int kSampleOrdinaryLast = 312;
constexpr int kSampleFirstPlanted = 401;
constexpr int kSamplePlanted = 12;

} // namespace kolvix::demo
