#include "tools/demo-db/PracticeData.h"

namespace kolvix::demo {

namespace {

// A password reset that has expired (400 days before the reference day), and one that never does.
constexpr const char* kExpired = "2023-05-27 10:00:00";
constexpr const char* kFarFuture = "2099-12-31 00:00:00";

} // namespace

const std::vector<SampleClient>& sampleClients()
{
    static const std::vector<SampleClient> clients = {
        // basic: 812 "Sample, One" into 57 "Sample, Two".
        {.id = 57,
         .surname = "Sample",
         .name = "Two",
         .accounts = {{0, "Primary"}, {1, "Medicare"}},
         .activity = SampleActivity {1, 2},
         .categories = {7},
         .contacts = {{6, 7, "Family"}, // shared identically with 812
                      {1, 6}},
         .permissions = {{1, 0}}},
        {.id = 812,
         .surname = "Sample",
         .name = "One",
         .accounts = {{0, "Primary"}, {2, "WorkCover"}},
         .activity = SampleActivity {2, 3},
         .categories = {7, 9},
         .contacts = {{6, 7, "family"}, // same contact, relation and type (another case): identical
                      {7, 8}, // employer: 57 has none, so it moves
                      {8, 5}}, // GP: 57 has none, so it moves
         .permissions = {{1, 0}, // duplicates 57's once moved
                         {2, 0}},
         .passwordResets = {{kExpired, false}, {kFarFuture, true}}},
        {.id = 101, .surname = "Sample", .name = "Junior", .referredBy = 812, .accounts = {{0, "Primary"}}},
        {.id = 102, .surname = "Harper", .name = "Louise", .referredBy2 = 812, .accounts = {{0, "Primary"}}},
        {.id = 103,
         .surname = "Vance",
         .name = "Oscar",
         .referredBy = 812,
         .referredBy2 = 57,
         .accounts = {{0, "Primary"}}},
        // A pending WPX client registered by 812.
        {.id = 104,
         .surname = "Sample",
         .name = "Baby",
         .pending = true,
         .pendingRows = {{104, 812, "Waiting"},
                         {812, 0, "Done"},
                         {57, 812, "Waiting"}}}, // refers to itself after the merge, and is then cleared

        // aliases
        {.id = 202,
         .surname = "Nguyen",
         .name = "Thi",
         .accounts = {{0, "Primary"}, {1, "Medicare"}, {2, "DVA"}, {3, "WC"}, {4, "Parent"}},
         .activity = SampleActivity {0, 1}},
        {.id = 201,
         .surname = "Nguyen",
         .name = "Thi",
         .accounts
         = {{0, "1st"}, {1, "Medicare EPC"}, {2, "Dept. of Vet."}, {3, "W^Cover"}, {4, "mum"}, {5, "Bulk Bill"}},
         .activity = SampleActivity {1, 2}},

        // linked
        {.id = 272,
         .surname = "Lincoln",
         .name = "Grace",
         .accounts = {{0, "Primary"}, {1, "Medicare"}},
         .activity = SampleActivity {0, 1}},
        {.id = 271,
         .surname = "Lincoln",
         .name = "Grace",
         .isGroup = true,
         .accounts = {{0, "Family"}, {1, "Medicare"}},
         .activity = SampleActivity {1, 2}},
        {.id = 273, .surname = "Lincoln", .name = "Ivy", .accounts = {{0, "Primary"}, {1, "Family", 271}}},
        {.id = 274, .surname = "Lincoln", .name = "Jack", .accounts = {{0, "Family", 271}}},

        // wpx
        {.id = 212, .surname = "Walker", .name = "Paul", .accounts = {{0, "Primary"}}},
        {.id = 211,
         .surname = "Walker",
         .name = "Paul",
         .wpxAccess = true,
         .wpxVerified = true,
         .wpxEmail = "paul.walker@example.com",
         .accounts = {{0, "Primary"}},
         .activity = SampleActivity {1, 1}},

        // pending
        {.id = 222, .surname = "Penn", .name = "Sophie", .accounts = {{0, "Primary"}}},
        {.id = 221,
         .surname = "Penn",
         .name = "Sophie",
         .pending = true,
         .accounts = {{0, "Primary"}},
         .pendingRows = {{221, 0, "Waiting"}}},

        // password
        {.id = 232, .surname = "Quinn", .name = "Harriet", .accounts = {{0, "Primary"}}},
        {.id = 231,
         .surname = "Quinn",
         .name = "Harriet",
         .wpxAccess = true,
         .wpxEmail = "harriet.quinn@example.com",
         .accounts = {{0, "Primary"}},
         .passwordResets = {{kFarFuture, false}}},

        // wpxmaster
        {.id = 242, .surname = "Marsh", .name = "Edward", .accounts = {{0, "Primary"}}},
        {.id = 241, .surname = "Marsh", .name = "Edward", .accounts = {{0, "Primary"}}},
        {.id = 243, .surname = "Marsh", .name = "Lily", .accounts = {{0, "Primary"}}, .wpxLinks = {{243, 241}}},

        // wpxlinked
        {.id = 252, .surname = "Linden", .name = "Rosa", .accounts = {{0, "Primary"}}},
        {.id = 251, .surname = "Linden", .name = "Rosa", .accounts = {{0, "Primary"}}},
        {.id = 253, .surname = "Linden", .name = "Marco", .accounts = {{0, "Primary"}}, .wpxLinks = {{251, 253}}},

        // contacts
        {.id = 262, .surname = "Contos", .name = "Maria", .accounts = {{0, "Primary"}}, .contacts = {{1, 5}, {4, 4}}},
        {.id = 261,
         .surname = "Contos",
         .name = "Maria",
         .accounts = {{0, "Primary"}},
         .contacts = {{2, 5}, // another GP in the same relation: conflict
                      {4, 4}, // the same spouse, the same way: identical
                      {9, 1}}}, // a contact the To client lacks

        // badgroup
        {.id = 281, .surname = "Baird", .name = "Tom", .accounts = {{0, "Primary"}}},
        {.id = 282, .surname = "Baird", .name = "Tom", .accounts = {{0, "Primary"}, {1, "Family", 281}}},
    };
    return clients;
}

const std::vector<SamplePair>& samplePairs()
{
    static const std::vector<SamplePair> pairs = {
        {"basic", 812, 57, "account 0 merges into 0, account 2 is added as 2; rows in every moved table"},
        {"aliases", 201, 202,
         "accounts merge through aliases: 1st > Primary, Medicare EPC > Medicare, Dept. of Vet. > DVA, "
         "W^Cover > WC, mum > Parent; Bulk Bill is added"},
        {"linked", 271, 272,
         "merges with a warning: accounts of 273 and 274 are linked to the From client; the primary accounts "
         "merge although their names differ"},
        {"wpx", 211, 212, "refused: the From client has WPX enabled"},
        {"pending", 221, 222, "refused: the From client is a pending WPX client"},
        {"password", 231, 232, "refused: the From client has a WPX password reset pending"},
        {"wpxmaster", 241, 242, "refused: WPX client 243 is linked to the From client"},
        {"wpxlinked", 251, 252, "refused: the From client is linked to WPX client 253"},
        {"contacts", 261, 262,
         "refused: different contacts in the same relation (GP); one identical contact listed as well"},
        {"badgroup", 281, 282, "refused: the To client has an account linked to the From client"},
    };
    return pairs;
}

} // namespace kolvix::demo
