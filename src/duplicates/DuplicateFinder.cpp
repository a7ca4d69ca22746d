#include "duplicates/DuplicateFinder.h"

#include "core/TextHelpers.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/DbError.h"
#include "db/Statement.h"
#include "ledger/DistinctPairs.h"
#include "ledger/MergedAway.h"

#include <QLocale>

#include <algorithm>
#include <numeric>
#include <unordered_map>

namespace kolvix {

QString DuplicateClient::displayName() const
{
    return kolvix::displayName(surname, name);
}

QString blockKeyText(BlockKey key)
{
    switch (key) {
    case BlockKey::SurnameAndBirth:
        return QStringLiteral("the surname (by sound) and date of birth");
    case BlockKey::GivenNameAndBirth:
        return QStringLiteral("the given name (by sound) and date of birth");
    case BlockKey::NamesAndBirth:
        return QStringLiteral("both names (by sound, in either order) and the date of birth");
    case BlockKey::NamesAndYearMonth:
        return QStringLiteral("both names (by sound) and the year and month of birth");
    case BlockKey::NamesAndYearDay:
        return QStringLiteral("both names (by sound) and the year and day of birth");
    case BlockKey::NamesAndDayMonth:
        return QStringLiteral("both names (by sound) and the day and month of birth");
    case BlockKey::NamesAndYearDayMonthEitherOrder:
        return QStringLiteral("both names (by sound) and the year of birth with day and month in either order");
    case BlockKey::SurnameAndAddress:
        return QStringLiteral("the surname (by sound) and address");
    case BlockKey::NamesAndPostCodeNumber:
        return QStringLiteral("both names (by sound, in either order), the post code and house number");
    case BlockKey::NamesAndNumberStreet:
        return QStringLiteral("both names (by sound, in either order), the house number and street (by sound)");
    case BlockKey::NamesAndPostCodeStreet:
        return QStringLiteral("both names (by sound, in either order), the post code and street (by sound)");
    case BlockKey::NamesAndStreetLocality:
        return QStringLiteral("both names (by sound, in either order), the street and suburb (by sound)");
    case BlockKey::NameAndHouse:
        return QStringLiteral("a name (by sound) and the house (post code, number and street)");
    case BlockKey::NameAndStreetAddress:
        return QStringLiteral("a name (by sound) and the house (number, street and suburb)");
    case BlockKey::BirthAndPostCodeNumber:
        return QStringLiteral("the date of birth, post code and house number");
    case BlockKey::BirthAndHouse:
        return QStringLiteral("the date of birth, house number and street (by sound)");
    case BlockKey::BirthAndStreet:
        return QStringLiteral("the date of birth and street (by sound)");
    case BlockKey::NameAndNumberStreet:
        return QStringLiteral("a name (by sound), the house number and street (by sound)");
    case BlockKey::YearMonthAndStreet:
        return QStringLiteral("the year and month of birth, the street and suburb (by sound)");
    case BlockKey::YearDayAndStreet:
        return QStringLiteral("the year and day of birth, the street and suburb (by sound)");
    case BlockKey::NameAndBirthEitherOrder:
        return QStringLiteral("a name (by sound) and the date of birth, day and month in either order");
    case BlockKey::NameAndYearMonth:
        return QStringLiteral("a name (by sound), the year and month of birth and the post code");
    case BlockKey::NameAndYearDay:
        return QStringLiteral("a name (by sound), the year and day of birth and the post code");
    case BlockKey::NameAndDayMonth:
        return QStringLiteral("a name (by sound), the day and month of birth and the post code");
    case BlockKey::Email:
        return QStringLiteral("the e-mail address");
    case BlockKey::Phone:
        return QStringLiteral("a telephone number ending in");
    }
    return QString();
}

QString LeftOutBlock::description() const
{
    const QString shared
        = value.isEmpty() ? QStringLiteral(" of client %1").arg(exampleClientId) : QStringLiteral(" \"%1\"").arg(value);
    return QStringLiteral("%1 clients who share %2").arg(clients).arg(blockKeyText(key)) + shared;
}

DuplicateFinder::DuplicateFinder(Connection& connection)
    : m_connection(connection)
{
}

QString DuplicateFinder::statement(bool includeArchived)
{
    QString sql = QStringLiteral("SELECT ClientID, Surname, Name, PreferredName, DateOfBirth, Address, HomePhone, "
                                 "WorkPhone, Mobile, Email, Active, IsAGroup FROM PatientSearch");
    if (!includeArchived)
        sql += QStringLiteral(" WHERE Active = 'T'");
    return sql;
}

void DuplicateFinder::report(const QString& stage, int percent) const
{
    if (m_progress)
        m_progress({stage, percent});
}

DuplicateScanResult DuplicateFinder::scan(const DuplicateOptions& options)
{
    report(QStringLiteral("Reading clients"), -1);
    DuplicateRecords records;
    const QSet<int> mergedAway = readMergedAwayClients(m_connection);
    DistinctClientPairs distinct;
    for (const DistinctPair& pair : readDistinctPairs(m_connection))
        distinct.insert({pair.first, pair.second});
    int mergedAwayLeftOut = 0;
    {
        Statement query(m_connection, statement(options.includeArchived), m_connection.commandTimeout());
        query.execute();
        DuplicateInput input;
        int rows = 0;
        const auto text
            = [&query](int column) { return query.isNull(column) ? QString() : query.value(column).toString(); };
        while (query.next()) {
            if (query.isNull(0))
                continue;
            // Group clients are never candidates.
            if (!query.isNull(11) && Field(query.value(11)).asBoolean())
                continue;
            input.clientId = query.value(0).toInt();
            // Emptied by an earlier merge: the pair was merged already.
            if (mergedAway.contains(input.clientId)) {
                ++mergedAwayLeftOut;
                continue;
            }
            input.surname = text(1);
            input.name = text(2);
            input.preferredName = text(3);
            input.dateOfBirth = query.isNull(4) ? QVariant() : query.value(4);
            input.address = text(5);
            input.homePhone = text(6);
            input.workPhone = text(7);
            input.mobile = text(8);
            input.email = text(9);
            input.active = isActiveFlag(text(10)); // as the search grid counts a client active
            records.add(input);
            if (++rows % 20000 == 0) {
                if (cancelled()) {
                    DuplicateScanResult result;
                    result.cancelled = true;
                    return result;
                }
                report(QStringLiteral("Reading clients (%1)").arg(rows), -1);
            }
        }
        query.throwIfReadFailed();
    }
    records.finish();
    DuplicateScanResult result = findPairs(records, options, distinct);
    result.mergedAway = mergedAwayLeftOut;
    readLeftOutValues(result.leftOut);
    return result;
}

namespace {

// A value of a left-out block as the message shows it: trimmed, and cut where it is long.
QString shownValue(const QString& text)
{
    constexpr qsizetype kLongest = 80;
    const QString value = trimControl(text);
    return value.size() > kLongest ? value.left(kLongest) + QStringLiteral("...") : value;
}

} // namespace

namespace {

// The keys whose value the records keep only as keys: scan() reads it again for the message.
bool readsAddress(BlockKey key)
{
    switch (key) {
    case BlockKey::SurnameAndAddress:
    case BlockKey::NamesAndPostCodeNumber:
    case BlockKey::NamesAndNumberStreet:
    case BlockKey::NamesAndPostCodeStreet:
    case BlockKey::NamesAndStreetLocality:
    case BlockKey::NameAndHouse:
    case BlockKey::NameAndStreetAddress:
    case BlockKey::NameAndNumberStreet:
    case BlockKey::Email:
        return true;
    default:
        return false;
    }
}

} // namespace

void DuplicateFinder::readLeftOutValues(std::vector<LeftOutBlock>& blocks)
{
    for (LeftOutBlock& block : blocks) {
        if (!block.value.isEmpty() || !readsAddress(block.key))
            continue;
        Statement query(m_connection,
                        QStringLiteral("SELECT Surname, Address, Email, Name FROM PatientSearch WHERE ClientID = :id"),
                        m_connection.commandTimeout());
        query.bindParameters([&block](const QString&) { return QVariant(block.exampleClientId); });
        query.execute();
        if (!query.next())
            continue; // gone since the read: the message names the client instead
        if (block.key == BlockKey::Email)
            block.value = shownValue(query.value(2).toString());
        else if (block.key == BlockKey::SurnameAndAddress)
            block.value = shownValue(trimControl(query.value(0).toString()) + QStringLiteral(", ")
                                     + trimControl(query.value(1).toString()));
        else
            block.value = shownValue(kolvix::displayName(query.value(0).toString(), query.value(3).toString())
                                     + QStringLiteral(", ") + trimControl(query.value(1).toString()));
    }
}

namespace {

std::uint64_t mix(std::uint64_t a, std::uint64_t b)
{
    std::uint64_t h = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E5Full + (a << 6) + (a >> 2));
    h ^= h >> 31;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 29;
    return h ? h : 1;
}

DuplicateClient clientOf(const DuplicateRecords& records, int index)
{
    const DuplicateRecord& r = records[index];
    DuplicateClient client;
    client.clientId = r.clientId;
    client.surname = records.text(r.displaySurname);
    client.name = records.text(r.displayName);
    if (r.dateOfBirth != kNoDate)
        client.dateOfBirth = dateOfDay(r.dateOfBirth);
    client.active = r.active;
    return client;
}

// The value a block's key stands for, as the record at `index` holds it; empty for the values
// the records keep only as keys (the address and the e-mail address).
QString blockValue(const DuplicateRecords& records, BlockKey kind, int index, std::uint64_t key)
{
    const DuplicateRecord& r = records[index];
    const DuplicateClient client = clientOf(records, index);
    const QDate& born = client.dateOfBirth;
    const QString names = client.displayName() + QStringLiteral(", ");
    switch (kind) {
    case BlockKey::SurnameAndBirth:
        return client.surname + QStringLiteral(", ") + born.toString(Qt::ISODate);
    case BlockKey::GivenNameAndBirth:
        return client.name + QStringLiteral(", ") + born.toString(Qt::ISODate);
    case BlockKey::NamesAndBirth:
        return names + born.toString(Qt::ISODate);
    case BlockKey::NamesAndYearMonth:
        return names + born.toString(QStringLiteral("yyyy-MM"));
    case BlockKey::NamesAndYearDay:
        return names + QStringLiteral("%1, day %2").arg(born.year()).arg(born.day());
    case BlockKey::NamesAndDayMonth:
        return names + QLocale::c().toString(born, QStringLiteral("d MMMM"));
    case BlockKey::NameAndYearMonth:
    case BlockKey::YearMonthAndStreet:
        return born.toString(QStringLiteral("yyyy-MM"));
    case BlockKey::NameAndYearDay:
    case BlockKey::YearDayAndStreet:
        return QStringLiteral("%1, day %2").arg(born.year()).arg(born.day());
    case BlockKey::NameAndDayMonth:
        return QLocale::c().toString(born, QStringLiteral("d MMMM"));
    case BlockKey::NamesAndYearDayMonthEitherOrder: {
        const QDate swapped(born.year(), born.day(), born.month());
        QString value = names + born.toString(Qt::ISODate);
        if (swapped.isValid() && swapped != born)
            value += QStringLiteral(" or ") + swapped.toString(Qt::ISODate);
        return value;
    }
    case BlockKey::Phone:
        for (std::uint64_t phone : {r.mobile, r.homePhone, r.workPhone}) {
            const std::uint64_t block = phoneBlock(phone);
            if (block && mix(7, block) == key)
                return QStringLiteral("%1").arg(block - 1, 8, 10, QLatin1Char('0'));
        }
        return QString();
    case BlockKey::BirthAndPostCodeNumber:
        return born.toString(Qt::ISODate) + QStringLiteral(", ")
            + QStringLiteral("%1").arg(r.postCode - 1, 4, 10, QLatin1Char('0'));
    case BlockKey::BirthAndHouse:
    case BlockKey::BirthAndStreet:
    case BlockKey::NameAndBirthEitherOrder:
        return born.toString(Qt::ISODate);
    case BlockKey::NameAndNumberStreet:
    case BlockKey::SurnameAndAddress:
    case BlockKey::NamesAndPostCodeNumber:
    case BlockKey::NamesAndNumberStreet:
    case BlockKey::NamesAndPostCodeStreet:
    case BlockKey::NamesAndStreetLocality:
    case BlockKey::NameAndHouse:
    case BlockKey::NameAndStreetAddress:
    case BlockKey::Email:
        return QString();
    }
    return QString();
}

} // namespace

std::vector<std::pair<int, int>> DuplicateFinder::candidatePairs(const DuplicateRecords& records,
                                                                 const std::atomic<bool>* cancel,
                                                                 std::vector<LeftOutBlock>* leftOut)
{
    const int n = records.size();
    std::vector<std::uint64_t> candidates;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keys;
    keys.reserve(std::size_t(n) * 3);

    // The clients of the blocks left out so far (ascending indices), found by a hash of them:
    // one set of clients is reported under the first key that left it out.
    std::vector<std::vector<std::uint32_t>> leftOutMembers;
    std::unordered_multimap<std::uint64_t, std::size_t> leftOutByHash;
    const auto leaveOut = [&](BlockKey kind, std::size_t from, std::size_t to) {
        std::vector<std::uint32_t> members;
        members.reserve(to - from);
        std::uint64_t hash = to - from;
        for (std::size_t x = from; x < to; ++x) {
            members.push_back(keys[x].second);
            hash = mix(hash, keys[x].second);
        }
        const auto [first, last] = leftOutByHash.equal_range(hash);
        for (auto it = first; it != last; ++it)
            if (leftOutMembers[it->second] == members)
                return;
        const int example = int(members.front());
        leftOut->push_back({kind, blockValue(records, kind, example, keys[from].first), int(members.size()),
                            records[example].clientId});
        leftOutByHash.emplace(hash, leftOutMembers.size());
        leftOutMembers.push_back(std::move(members));
    };

    // Adds the pairs of every block of records that share a key; 0 is no key.
    const auto addBlocks = [&](BlockKey kind) {
        std::sort(keys.begin(), keys.end());
        for (std::size_t i = 0; i < keys.size();) {
            std::size_t j = i + 1;
            while (j < keys.size() && keys[j].first == keys[i].first)
                ++j;
            if (leftOut && keys[i].first != 0 && j - i > std::size_t(kMaxBlock))
                leaveOut(kind, i, j);
            if (keys[i].first != 0 && j - i > 1 && j - i <= std::size_t(kMaxBlock))
                for (std::size_t x = i; x < j; ++x)
                    for (std::size_t y = x + 1; y < j; ++y) {
                        const std::uint32_t a = std::min(keys[x].second, keys[y].second);
                        const std::uint32_t b = std::max(keys[x].second, keys[y].second);
                        if (a != b)
                            candidates.push_back((std::uint64_t(a) << 32) | b);
                    }
            i = j;
        }
        keys.clear();
    };
    const auto byKey = [&](BlockKey kind, auto keyOf) {
        for (int i = 0; i < n; ++i)
            if (const std::uint64_t key = keyOf(records[i]))
                keys.emplace_back(key, std::uint32_t(i));
        addBlocks(kind);
    };
    const auto code = [&](int nameId) { return std::uint64_t(records.nameCode(nameId)); };
    const auto date = [](const DuplicateRecord& r) { return std::uint64_t(std::uint32_t(r.dateOfBirth)); };
    const auto isCancelled = [&] {
        if (!cancel || !cancel->load(std::memory_order_relaxed))
            return false;
        if (leftOut)
            leftOut->clear();
        return true;
    };

    using R = DuplicateRecord;
    // A phonetic surname code and the date of birth.
    byKey(BlockKey::SurnameAndBirth, [&](const R& r) {
        return r.surname && r.dateOfBirth != kNoDate ? mix(1, mix(code(r.surname), date(r))) : 0;
    });
    // The date of birth and a phonetic code of the given name (a changed surname).
    byKey(BlockKey::GivenNameAndBirth,
          [&](const R& r) { return r.given && r.dateOfBirth != kNoDate ? mix(2, mix(code(r.given), date(r))) : 0; });
    // The date of birth and both codes in either order (given name and surname swapped).
    byKey(BlockKey::NamesAndBirth, [&](const R& r) {
        if (!r.surname || !r.given || r.dateOfBirth == kNoDate)
            return std::uint64_t(0);
        const std::uint64_t s = code(r.surname), g = code(r.given);
        return mix(3, mix((std::min(s, g) << 32) | std::max(s, g), date(r)));
    });
    if (isCancelled())
        return {};
    // The codes of both names and two of the three parts of the date of birth, or the year with
    // day and month in either order: a date of birth with one part mistyped or swapped.
    constexpr BlockKey kPartKeys[] = {BlockKey::NamesAndYearMonth, BlockKey::NamesAndYearDay,
                                      BlockKey::NamesAndDayMonth, BlockKey::NamesAndYearDayMonthEitherOrder};
    for (int part = 0; part < 4; ++part) {
        byKey(kPartKeys[part], [&](const R& r) {
            if (!r.surname || !r.given || r.dateOfBirth == kNoDate)
                return std::uint64_t(0);
            const QDate d = dateOfDay(r.dateOfBirth);
            const std::uint64_t y = std::uint64_t(d.year()), m = std::uint64_t(d.month()), day = std::uint64_t(d.day());
            std::uint64_t parts = 0;
            switch (part) {
            case 0:
                parts = y << 16 | m << 8;
                break;
            case 1:
                parts = y << 16 | day;
                break;
            case 2:
                parts = m << 8 | day;
                break;
            default:
                parts = y << 16 | std::min(m, day) << 8 | std::max(m, day);
                break;
            }
            return mix(std::uint64_t(10 + part), mix(mix(code(r.surname), code(r.given)), parts));
        });
    }
    if (isCancelled())
        return {};
    // A phonetic surname code and the address.
    byKey(BlockKey::SurnameAndAddress,
          [&](const R& r) { return r.surname && r.addressFull ? mix(5, mix(code(r.surname), r.addressFull)) : 0; });
    // Without the date of birth: the names with parts of the house. A street without house
    // numbers (a farm, a village) stands in for the number by the street's name.
    const auto names = [&](const R& r) {
        const std::uint64_t s = code(r.surname), g = code(r.given);
        return (std::min(s, g) << 32) | std::max(s, g);
    };
    const auto house = [](const R& r) {
        const std::uint64_t number = r.addressNumber ? r.addressNumber : std::uint64_t(r.streetCode) << 32;
        return r.postCode && number ? mix(r.postCode, number) : 0;
    };
    byKey(BlockKey::NamesAndPostCodeNumber,
          [&](const R& r) { return r.surname && r.given && house(r) ? mix(20, mix(names(r), house(r))) : 0; });
    byKey(BlockKey::NamesAndNumberStreet, [&](const R& r) {
        return r.surname && r.given && r.addressNumber && r.streetCode
            ? mix(21, mix(names(r), mix(r.addressNumber, r.streetCode)))
            : 0;
    });
    byKey(BlockKey::NamesAndPostCodeStreet, [&](const R& r) {
        return r.surname && r.given && r.postCode && r.streetCode
            ? mix(22, mix(names(r), mix(r.postCode, r.streetCode)))
            : 0;
    });
    if (isCancelled())
        return {};
    byKey(BlockKey::NamesAndStreetLocality, [&](const R& r) {
        return r.surname && r.given && r.streetCode && r.localityCode
            ? mix(27, mix(names(r), mix(r.streetCode, r.localityCode)))
            : 0;
    });
    // Either name's code with the whole house, under both names (a name mistyped, or the two
    // names swapped and one of them mistyped).
    const auto byEitherName = [&](BlockKey kind, std::uint64_t salt, auto homeOf) {
        for (int i = 0; i < n; ++i) {
            const R& r = records[i];
            if (const std::uint64_t home = homeOf(r))
                for (int name : {r.surname, r.given})
                    if (name && (name == r.surname || code(r.given) != code(r.surname)))
                        keys.emplace_back(mix(salt, mix(code(name), home)), std::uint32_t(i));
        }
        addBlocks(kind);
    };
    byEitherName(BlockKey::NameAndHouse, 23,
                 [&](const R& r) { return house(r) && r.streetCode ? mix(house(r), r.streetCode) : 0; });
    byEitherName(BlockKey::NameAndStreetAddress, 28, [&](const R& r) {
        return r.addressNumber && r.streetCode && r.localityCode
            ? mix(r.addressNumber, mix(r.streetCode, r.localityCode))
            : 0;
    });
    byEitherName(BlockKey::NameAndNumberStreet, 29,
                 [&](const R& r) { return r.addressNumber && r.streetCode ? mix(r.addressNumber, r.streetCode) : 0; });
    byEitherName(BlockKey::NameAndBirthEitherOrder, 30, [&](const R& r) {
        if (r.dateOfBirth == kNoDate)
            return std::uint64_t(0);
        const QDate d = dateOfDay(r.dateOfBirth);
        const std::uint64_t m = std::uint64_t(d.month()), day = std::uint64_t(d.day());
        return mix(std::uint64_t(d.year()), std::min(m, day) << 8 | std::max(m, day));
    });
    constexpr BlockKey kNamePartKeys[]
        = {BlockKey::NameAndYearMonth, BlockKey::NameAndYearDay, BlockKey::NameAndDayMonth};
    // (The day and month with the street would hold too many clients where a practice has few
    // streets.)
    constexpr BlockKey kStreetPartKeys[] = {BlockKey::YearMonthAndStreet, BlockKey::YearDayAndStreet};
    // Two of the three parts of the date of birth.
    const auto dateParts = [](const R& r, int part) {
        if (r.dateOfBirth == kNoDate)
            return std::uint64_t(0);
        const QDate d = dateOfDay(r.dateOfBirth);
        const std::uint64_t y = std::uint64_t(d.year()), m = std::uint64_t(d.month()), day = std::uint64_t(d.day());
        return part == 0 ? y << 16 | m << 8 : part == 1 ? y << 16 | day : m << 8 | day;
    };
    for (int part = 0; part < 3; ++part)
        byEitherName(kNamePartKeys[part], std::uint64_t(32 + part), [&](const R& r) {
            const std::uint64_t parts = dateParts(r, part);
            return parts && r.postCode ? mix(parts, r.postCode) : 0;
        });
    for (int part = 0; part < 2; ++part)
        byKey(kStreetPartKeys[part], [&](const R& r) {
            const std::uint64_t parts = dateParts(r, part);
            return parts && r.streetCode && r.localityCode
                ? mix(std::uint64_t(37 + part), mix(parts, mix(r.streetCode, r.localityCode)))
                : 0;
        });
    if (isCancelled())
        return {};
    byKey(BlockKey::BirthAndPostCodeNumber, [&](const R& r) {
        return r.dateOfBirth != kNoDate && r.postCode && r.addressNumber
            ? mix(25, mix(date(r), mix(r.postCode, r.addressNumber)))
            : 0;
    });
    byKey(BlockKey::BirthAndHouse, [&](const R& r) {
        return r.dateOfBirth != kNoDate && r.addressNumber && r.streetCode
            ? mix(26, mix(date(r), mix(r.addressNumber, r.streetCode)))
            : 0;
    });
    byKey(BlockKey::BirthAndStreet, [&](const R& r) {
        return r.dateOfBirth != kNoDate && r.streetCode ? mix(31, mix(date(r), r.streetCode)) : 0;
    });
    if (isCancelled())
        return {};
    // The e-mail address.
    byKey(BlockKey::Email, [&](const R& r) { return r.email ? mix(6, r.email) : 0; });
    if (isCancelled())
        return {};
    // Any telephone number, in whichever field it is written.
    for (int i = 0; i < n; ++i) {
        const R& r = records[i];
        std::uint64_t seen[3] = {0, 0, 0};
        int count = 0;
        for (std::uint64_t phone : {r.mobile, r.homePhone, r.workPhone}) {
            const std::uint64_t block = phoneBlock(phone);
            if (block && std::find(seen, seen + count, block) == seen + count) {
                seen[count++] = block;
                keys.emplace_back(mix(7, block), std::uint32_t(i));
            }
        }
    }
    addBlocks(BlockKey::Phone);
    keys.shrink_to_fit();
    if (leftOut)
        std::stable_sort(leftOut->begin(), leftOut->end(), [](const LeftOutBlock& a, const LeftOutBlock& b) {
            if (a.key != b.key)
                return a.key < b.key;
            if (a.clients != b.clients)
                return a.clients > b.clients;
            return a.exampleClientId < b.exampleClientId;
        });

    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    std::vector<std::pair<int, int>> pairs;
    pairs.reserve(candidates.size());
    for (std::uint64_t c : candidates)
        pairs.emplace_back(int(c >> 32), int(c & 0xFFFFFFFFu));
    return pairs;
}

namespace {

int findRoot(std::vector<int>& parent, int x)
{
    while (parent[std::size_t(x)] != x) {
        parent[std::size_t(x)] = parent[std::size_t(parent[std::size_t(x)])];
        x = parent[std::size_t(x)];
    }
    return x;
}

} // namespace

namespace {

// How many of the details that a record may hold it holds: the date of birth, the address, the
// mobile, the home and work phones and the e-mail address.
int detailCount(const DuplicateRecord& r)
{
    return int(r.dateOfBirth != kNoDate) + int(r.addressFull != 0) + int(r.mobile != 0) + int(r.homePhone != 0)
        + int(r.workPhone != 0) + int(r.email != 0);
}

struct KeepChoice
{
    int keep = 0;
    QString reason;
};

// The record of a pair to keep (Move To), and why: never the one whose names look swapped or
// whose date of birth is missing, then the active one over an archived one, then the one with
// more history, then the one with more details, then the older record (the lower client id).
KeepChoice chooseKeep(const DuplicateRecords& records, const std::vector<KeepFacts>& facts, int a, int b)
{
    const DuplicateRecord& ra = records[a];
    const DuplicateRecord& rb = records[b];
    const KeepFacts& fa = facts[std::size_t(a)];
    const KeepFacts& fb = facts[std::size_t(b)];
    if (fa.namesSwapped != fb.namesSwapped)
        return {fa.namesSwapped ? b : a, QStringLiteral("keep: the other's names look swapped")};
    if ((ra.dateOfBirth == kNoDate) != (rb.dateOfBirth == kNoDate))
        return {ra.dateOfBirth == kNoDate ? b : a, QStringLiteral("keep: the other has no date of birth")};
    if (ra.active != rb.active)
        return {ra.active ? a : b, QStringLiteral("keep: the other is archived")};
    if (fa.historyRows != fb.historyRows) {
        const bool keepA = fa.historyRows > fb.historyRows;
        return {keepA ? a : b,
                QStringLiteral("keep: more history (%1 rows against %2)")
                    .arg(keepA ? fa.historyRows : fb.historyRows)
                    .arg(keepA ? fb.historyRows : fa.historyRows)};
    }
    if (fa.details != fb.details) {
        const bool keepA = fa.details > fb.details;
        return {keepA ? a : b,
                QStringLiteral("keep: more details (%1 against %2)")
                    .arg(keepA ? fa.details : fb.details)
                    .arg(keepA ? fb.details : fa.details)};
    }
    return {ra.clientId < rb.clientId ? a : b, QStringLiteral("keep: the older record")};
}

} // namespace

QStringList DuplicateFinder::historyTables()
{
    return {QStringLiteral("Appoint"), QStringLiteral("Trans"), QStringLiteral("ClinicalNotes"),
            QStringLiteral("Documents"), QStringLiteral("Attachments")};
}

QString DuplicateFinder::historyStatement(const QStringList& tables, const std::vector<int>& clientIds)
{
    QStringList ids;
    for (int id : clientIds)
        ids << QString::number(id);
    QStringList parts;
    for (const QString& table : tables)
        parts << QStringLiteral("SELECT ClientID, COUNT(*) FROM %1 WHERE ClientID IN (%2) GROUP BY ClientID")
                     .arg(table, ids.join(u','));
    return parts.join(QStringLiteral(" UNION ALL "));
}

void DuplicateFinder::readHistory(const DuplicateRecords& records, const std::vector<int>& listed,
                                  std::vector<KeepFacts>& facts)
{
    if (listed.empty())
        return;
    // The tables a practice's database may lack are left out: a count of nothing is no history.
    QStringList tables;
    {
        QStringList quoted;
        for (const QString& table : historyTables())
            quoted << QStringLiteral("'%1'").arg(table);
        Statement query(m_connection,
                        QStringLiteral("SELECT Name FROM SYS.TABLES WHERE Name IN (%1)").arg(quoted.join(u',')),
                        m_connection.commandTimeout());
        query.execute();
        while (query.next())
            tables << query.value(0).toString();
        query.throwIfReadFailed();
    }
    if (tables.isEmpty())
        return;
    std::unordered_map<int, int> indexOf;
    for (int index : listed)
        indexOf.emplace(records[index].clientId, index);
    constexpr std::size_t kIdsAStatement = 500;
    std::vector<int> ids;
    for (std::size_t from = 0; from < listed.size(); from += kIdsAStatement) {
        ids.clear();
        for (std::size_t i = from; i < std::min(listed.size(), from + kIdsAStatement); ++i)
            ids.push_back(records[listed[i]].clientId);
        Statement query(m_connection, historyStatement(tables, ids), m_connection.commandTimeout());
        query.execute();
        while (query.next())
            if (const auto it = indexOf.find(query.value(0).toInt()); it != indexOf.end())
                facts[std::size_t(it->second)].historyRows += query.value(1).toInt();
        query.throwIfReadFailed();
    }
}

DuplicateScanResult DuplicateFinder::findPairs(const DuplicateRecords& records, const DuplicateOptions& options,
                                               const DistinctClientPairs& distinct)
{
    DuplicateScanResult result;
    result.clients = records.size();
    const auto stop = [&] {
        DuplicateScanResult cancelledResult;
        cancelledResult.cancelled = true;
        cancelledResult.clients = records.size();
        return cancelledResult;
    };

    report(QStringLiteral("Finding candidate pairs"), 0);
    const std::vector<std::pair<int, int>> candidates = candidatePairs(records, m_cancel, &result.leftOut);
    if (cancelled())
        return stop();
    result.candidates = std::int64_t(candidates.size());

    struct Hit
    {
        double weight;
        int score;
        int a;
        int b;
    };
    std::vector<Hit> hits;
    const DuplicateScorer scorer(records);
    const std::size_t step = std::max<std::size_t>(1, candidates.size() / 100);
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (i % step == 0) {
            if (cancelled())
                return stop();
            report(QStringLiteral("Comparing %1 candidate pairs").arg(candidates.size()),
                   5 + int(90 * i / candidates.size()));
        }
        const auto [a, b] = candidates[i];
        const PairScore s = scorer.score(a, b, false);
        if (!s.namesAgree || s.score < options.minScore)
            continue;
        if (!distinct.isEmpty() && distinct.contains(std::minmax(records[a].clientId, records[b].clientId))) {
            ++result.markedDistinct;
            continue;
        }
        hits.push_back({s.weight, s.score, a, b});
    }
    report(QStringLiteral("Grouping"), 96);

    std::sort(hits.begin(), hits.end(), [&](const Hit& x, const Hit& y) {
        if (x.weight != y.weight)
            return x.weight > y.weight;
        if (x.a != y.a)
            return x.a < y.a;
        return x.b < y.b;
    });

    // Connected groups, numbered in the order of their best pair.
    std::vector<int> parent(std::size_t(records.size()));
    std::iota(parent.begin(), parent.end(), 0);
    for (const Hit& h : hits) {
        const int ra = findRoot(parent, h.a);
        const int rb = findRoot(parent, h.b);
        if (ra != rb)
            parent[std::size_t(std::max(ra, rb))] = std::min(ra, rb);
    }
    std::vector<int> groupOfRoot(std::size_t(records.size()), 0);
    int groups = 0;
    for (const Hit& h : hits) {
        int& g = groupOfRoot[std::size_t(findRoot(parent, h.a))];
        if (g == 0)
            g = ++groups;
    }
    result.groups = groups;

    const std::size_t count = options.limit > 0 ? std::min(hits.size(), std::size_t(options.limit)) : hits.size();
    std::vector<PairScore> scores;
    scores.reserve(count);
    std::vector<KeepFacts> facts(std::size_t(records.size()));
    std::vector<int> listed;
    for (std::size_t i = 0; i < count; ++i) {
        const Hit& h = hits[i];
        scores.push_back(scorer.score(h.a, h.b, true));
        if (scores.back().swappedRecord >= 0)
            facts[std::size_t(scores.back().swappedRecord)].namesSwapped = true;
        listed.push_back(h.a);
        listed.push_back(h.b);
    }
    std::sort(listed.begin(), listed.end());
    listed.erase(std::unique(listed.begin(), listed.end()), listed.end());
    report(QStringLiteral("Reading the history of %1 clients").arg(listed.size()), 97);
    readHistory(records, listed, facts);
    for (int index : listed)
        facts[std::size_t(index)].details = detailCount(records[index]);

    result.pairs.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Hit& h = hits[i];
        DuplicatePair pair;
        pair.score = h.score;
        pair.weight = h.weight;
        pair.group = groupOfRoot[std::size_t(findRoot(parent, h.a))];
        pair.reasons = std::move(scores[i].reasons);
        const KeepChoice choice = chooseKeep(records, facts, h.a, h.b);
        pair.keep = clientOf(records, choice.keep);
        pair.merge = clientOf(records, choice.keep == h.a ? h.b : h.a);
        pair.reasons.append(choice.reason);
        result.pairs.push_back(std::move(pair));
    }
    report(QStringLiteral("Done"), 100);
    return result;
}

} // namespace kolvix
