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
// relatives, who are different people: household members of other clients (another given name
// and date of birth; every fifth a twin) and, in the large practice, families of their own
// (parents and children of one name, siblings and adult twins of alike names). The true pairs
// are written to OUTPUT.db.duplicates.tsv, one line "client<TAB>duplicate<TAB>errors" each under
// a header line, the relatives to OUTPUT.db.relatives.tsv, one line "client<TAB>relative<TAB>kind"
// each.
//
// --seed S makes the random content reproducible (the same seed gives the same database).
//
// The parts: SqliteDatabase (the thin wrappers of the sqlite3 interface), ContentPools (dates,
// the pools of names, streets and other texts, the random source), PracticeData (the reference
// data and the sample practice, as data), DemoBuilder (the tables, the sample and the large
// practice) and PlantedDuplicates.

#include "tools/demo-db/DemoBuilder.h"
#include "tools/demo-db/PracticeData.h"
#include "tools/demo-db/SqliteDatabase.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kolvix::demo {
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

class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

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

// Writes a header line and the lines, each ended by a line break.
void writeLines(const std::filesystem::path& path, const char* header, const std::vector<std::string>& lines)
{
    std::FILE* file = std::fopen(path.string().c_str(), "w");
    if (!file)
        throw std::runtime_error("cannot write " + path.string());
    std::fprintf(file, "%s\n", header);
    for (const std::string& line : lines)
        std::fprintf(file, "%s\n", line.c_str());
    if (std::fclose(file) != 0)
        throw std::runtime_error("cannot write " + path.string());
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
    std::vector<std::string> relativePairs;
    long long rows = 0;
    // The true pairs of the planted duplicates, beside the database.
    const std::filesystem::path truth(options.output + ".duplicates.tsv");
    const std::filesystem::path partialTruth(options.output + ".duplicates.tsv.part");
    const std::filesystem::path relatives(options.output + ".relatives.tsv");
    const std::filesystem::path partialRelatives(options.output + ".relatives.tsv.part");
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
                    std::vector<int> sources(std::size_t(kSampleOrdinaryLast - kSampleOrdinaryFirst + 1));
                    std::iota(sources.begin(), sources.end(), kSampleOrdinaryFirst);
                    builder.plantDuplicates(kSampleFirstPlanted, sources, options.duplicates.value_or(kSamplePlanted),
                                            true);
                }
                pairs = builder.pairs();
                duplicatePairs = builder.duplicatePairs();
                relativePairs = builder.relativePairs();
                rows = builder.rows();
            }
            db.exec("COMMIT");
            db.exec("PRAGMA analysis_limit = 1000; ANALYZE; "
                    "PRAGMA journal_mode = DELETE; PRAGMA locking_mode = NORMAL;");
        }
        if (!duplicatePairs.empty()) {
            writeLines(partialTruth, "Client\tDuplicate\tErrors", duplicatePairs);
            writeLines(partialRelatives, "Client\tRelative\tKind", relativePairs);
        }
        if (options.force)
            removeDatabaseFiles(output);
        std::filesystem::remove(truth, error);
        std::filesystem::remove(relatives, error);
        std::filesystem::rename(partial, output);
        if (!duplicatePairs.empty()) {
            std::filesystem::rename(partialTruth, truth);
            std::filesystem::rename(partialRelatives, relatives);
        }
    } catch (const std::exception& e) {
        removeDatabaseFiles(partial);
        std::filesystem::remove(partialTruth, error);
        std::filesystem::remove(partialRelatives, error);
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
} // namespace kolvix::demo

int main(int argc, char** argv)
{
    return kolvix::demo::run(argc, argv);
}
