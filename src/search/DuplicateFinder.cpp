#include "search/DuplicateFinder.h"

#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/DbError.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <numeric>

namespace kolvix {

QString DuplicateClient::displayName() const
{
    const QString s = surname.trimmed();
    const QString n = name.trimmed();
    if (s.isEmpty())
        return n;
    if (n.isEmpty())
        return s;
    return s + QStringLiteral(", ") + n;
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
    {
        QSqlQuery query = m_connection.prepareQuery(statement(options.includeArchived), m_connection.commandTimeout());
        if (!query.exec())
            throw DbError(Connection::errorMessage(query.lastError()));
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
            input.surname = text(1);
            input.name = text(2);
            input.preferredName = text(3);
            input.dateOfBirth = query.isNull(4) ? QVariant() : query.value(4);
            input.address = text(5);
            input.homePhone = text(6);
            input.workPhone = text(7);
            input.mobile = text(8);
            input.email = text(9);
            input.active = text(10) == u"T";
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
        if (query.lastError().type() != QSqlError::NoError)
            throw DbError(Connection::errorMessage(query.lastError()));
    }
    records.finish();
    return findPairs(records, options);
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

} // namespace

std::vector<std::pair<int, int>> DuplicateFinder::candidatePairs(const DuplicateRecords& records,
                                                                 const std::atomic<bool>* cancel)
{
    const int n = records.size();
    std::vector<std::uint64_t> candidates;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keys;
    keys.reserve(std::size_t(n) * 3);

    // Adds the pairs of every block of records that share a key; 0 is no key.
    const auto addBlocks = [&] {
        std::sort(keys.begin(), keys.end());
        for (std::size_t i = 0; i < keys.size();) {
            std::size_t j = i + 1;
            while (j < keys.size() && keys[j].first == keys[i].first)
                ++j;
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
    const auto byKey = [&](auto keyOf) {
        for (int i = 0; i < n; ++i)
            if (const std::uint64_t key = keyOf(records[i]))
                keys.emplace_back(key, std::uint32_t(i));
        addBlocks();
    };
    const auto code = [&](int nameId) { return std::uint64_t(records.nameCode(nameId)); };
    const auto date = [](const DuplicateRecord& r) { return std::uint64_t(std::uint32_t(r.dateOfBirth)); };
    const auto isCancelled = [&] { return cancel && cancel->load(std::memory_order_relaxed); };

    using R = DuplicateRecord;
    // A phonetic surname code and the date of birth.
    byKey(
        [&](const R& r) { return r.surname && r.dateOfBirth != kNoDate ? mix(1, mix(code(r.surname), date(r))) : 0; });
    // The date of birth and a phonetic code of the given name (a changed surname).
    byKey([&](const R& r) { return r.given && r.dateOfBirth != kNoDate ? mix(2, mix(code(r.given), date(r))) : 0; });
    // The date of birth and both codes in either order (given name and surname swapped).
    byKey([&](const R& r) {
        if (!r.surname || !r.given || r.dateOfBirth == kNoDate)
            return std::uint64_t(0);
        const std::uint64_t s = code(r.surname), g = code(r.given);
        return mix(3, mix((std::min(s, g) << 32) | std::max(s, g), date(r)));
    });
    if (isCancelled())
        return {};
    // The codes of both names and two of the three parts of the date of birth, or the year with
    // day and month in either order: a date of birth with one part mistyped or swapped.
    for (int part = 0; part < 4; ++part) {
        byKey([&](const R& r) {
            if (!r.surname || !r.given || r.dateOfBirth == kNoDate)
                return std::uint64_t(0);
            const QDate d = QDate::fromJulianDay(qint64(r.dateOfBirth) + 2440588);
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
    byKey([&](const R& r) { return r.surname && r.addressFull ? mix(5, mix(code(r.surname), r.addressFull)) : 0; });
    // The e-mail address.
    byKey([&](const R& r) { return r.email ? mix(6, r.email) : 0; });
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
    addBlocks();
    keys.shrink_to_fit();

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

DuplicateClient clientOf(const DuplicateRecords& records, int index)
{
    const DuplicateRecord& r = records[index];
    DuplicateClient client;
    client.clientId = r.clientId;
    client.surname = records.text(r.displaySurname);
    client.name = records.text(r.displayName);
    if (r.dateOfBirth != kNoDate)
        client.dateOfBirth = QDate::fromJulianDay(qint64(r.dateOfBirth) + 2440588);
    client.active = r.active;
    return client;
}

} // namespace

DuplicateScanResult DuplicateFinder::findPairs(const DuplicateRecords& records, const DuplicateOptions& options)
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
    const std::vector<std::pair<int, int>> candidates = candidatePairs(records, m_cancel);
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
        if (s.namesAgree && s.score >= options.minScore)
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
    result.pairs.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Hit& h = hits[i];
        DuplicatePair pair;
        pair.score = h.score;
        pair.weight = h.weight;
        pair.group = groupOfRoot[std::size_t(findRoot(parent, h.a))];
        pair.reasons = scorer.score(h.a, h.b, true).reasons;
        // Keep the active record over an archived one, then the older (lower id) one.
        const DuplicateRecord& ra = records[h.a];
        const DuplicateRecord& rb = records[h.b];
        const bool keepA = ra.active != rb.active ? ra.active : ra.clientId < rb.clientId;
        pair.keep = clientOf(records, keepA ? h.a : h.b);
        pair.merge = clientOf(records, keepA ? h.b : h.a);
        result.pairs.push_back(std::move(pair));
    }
    report(QStringLiteral("Done"), 100);
    return result;
}

} // namespace kolvix
