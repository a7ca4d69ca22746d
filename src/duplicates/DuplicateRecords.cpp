#include "duplicates/DuplicateRecords.h"

#include "core/TextHelpers.h"

#include <algorithm>

namespace kolvix {

DuplicateRecords::DuplicateRecords()
{
    m_names.emplace_back();
    m_codes.push_back(0);
    m_groups.push_back({});
    m_nameIndex.insert(QString(), 0);
    m_texts.emplace_back();
    m_textNames.push_back({0, 0});
    m_textIndex.insert(QString(), 0);
}

int DuplicateRecords::internName(const QString& normalised)
{
    const auto it = m_nameIndex.constFind(normalised);
    if (it != m_nameIndex.constEnd())
        return *it;
    const int id = int(m_names.size());
    m_names.push_back(normalised);
    m_codes.push_back(phoneticCode(normalised));
    m_groups.push_back(nicknameGroups(normalised));
    m_nameIndex.insert(normalised, id);
    return id;
}

int DuplicateRecords::internText(const QString& text)
{
    // Names repeat: each text as stored is normalised once.
    const auto it = m_textIndex.constFind(text);
    if (it != m_textIndex.constEnd())
        return *it;
    const QString display = trimControl(text).left(80);
    const int id = int(m_texts.size());
    m_texts.push_back(display);
    m_textNames.push_back({internName(normaliseName(display)), internName(firstGivenName(display))});
    m_textIndex.insert(text, id);
    return id;
}

int DuplicateRecords::dayOfBirth(const QVariant& value)
{
    // The embedded engine gives dates as text, and dates of birth repeat: each text is converted
    // once (a practice holds some 30,000 distinct dates of birth; the table stops growing at
    // kMaxDays, texts beyond it are converted each time).
    constexpr qsizetype kMaxDays = 100000;
    if (value.typeId() != QMetaType::QString)
        return dayNumber(dateOfValue(value));
    const QString text = value.toString();
    const auto it = m_dayIndex.constFind(text);
    if (it != m_dayIndex.constEnd())
        return *it;
    const int day = dayNumber(dateOfValue(value));
    if (m_dayIndex.size() < kMaxDays)
        m_dayIndex.insert(text, day);
    return day;
}

void DuplicateRecords::add(const DuplicateInput& input)
{
    DuplicateRecord r;
    r.clientId = input.clientId;
    r.dateOfBirth = dayOfBirth(input.dateOfBirth);
    r.displaySurname = internText(input.surname);
    r.displayName = internText(input.name);
    r.surname = m_textNames[std::size_t(r.displaySurname)].first;
    r.given = m_textNames[std::size_t(r.displayName)].first;
    r.givenFirst = m_textNames[std::size_t(r.displayName)].second;
    r.preferred = m_textNames[std::size_t(internText(input.preferredName))].first;
    r.mobile = phoneKey(input.mobile);
    r.homePhone = phoneKey(input.homePhone);
    r.workPhone = phoneKey(input.workPhone);
    r.email = emailKey(input.email);
    const AddressKeys address = addressKeys(input.address);
    r.addressFull = address.full;
    r.addressNumber = address.number;
    r.postCode = address.postCode;
    r.streetCode = address.streetCode;
    r.localityCode = address.localityCode;
    const std::size_t length = std::min<std::size_t>(address.words.size(), 0xFFFF);
    r.addressWords = std::uint32_t(m_addressWords.size());
    r.addressLength = std::uint16_t(length);
    m_addressWords.append(address.words, 0, length);
    r.active = input.active;
    m_records.push_back(r);
}

namespace {

std::vector<std::pair<std::uint64_t, int>> countRepeated(std::vector<std::uint64_t>& values)
{
    std::sort(values.begin(), values.end());
    std::vector<std::pair<std::uint64_t, int>> counts;
    for (std::size_t i = 0; i < values.size();) {
        std::size_t j = i + 1;
        while (j < values.size() && values[j] == values[i])
            ++j;
        if (values[i] != 0 && j - i > 1)
            counts.emplace_back(values[i], int(j - i));
        i = j;
    }
    values.clear();
    values.shrink_to_fit();
    return counts;
}

// The street of a record: its name by sound in its post code, or else in its locality.
std::uint64_t streetKey(const DuplicateRecord& r)
{
    const std::uint64_t place = r.postCode ? r.postCode : std::uint64_t(r.localityCode) << 32;
    return r.streetCode && place ? std::uint64_t(r.streetCode) * 0x9E3779B97F4A7C15ull ^ place : 0;
}

int lookupCount(const std::vector<std::pair<std::uint64_t, int>>& counts, std::uint64_t value)
{
    const auto it = std::lower_bound(counts.begin(), counts.end(), std::make_pair(value, 0));
    return it != counts.end() && it->first == value ? it->second : 1;
}

} // namespace

void DuplicateRecords::finish()
{
    std::stable_sort(m_records.begin(), m_records.end(),
                     [](const DuplicateRecord& a, const DuplicateRecord& b) { return a.clientId < b.clientId; });
    m_records.erase(
        std::unique(m_records.begin(), m_records.end(),
                    [](const DuplicateRecord& a, const DuplicateRecord& b) { return a.clientId == b.clientId; }),
        m_records.end());
    m_records.shrink_to_fit();
    m_nameIndex = {};
    m_textIndex = {};
    m_dayIndex = {};
    m_textNames = {};

    m_surnameCounts.assign(m_names.size(), 0);
    m_givenCounts.assign(m_names.size(), 0);
    for (const DuplicateRecord& r : m_records) {
        ++m_surnameCounts[std::size_t(r.surname)];
        ++m_givenCounts[std::size_t(r.given)];
        if (r.givenFirst != r.given)
            ++m_givenCounts[std::size_t(r.givenFirst)];
    }
    std::vector<std::uint64_t> values;
    values.reserve(m_records.size() * 2);
    const auto collect = [&](auto member) {
        for (const DuplicateRecord& r : m_records)
            values.push_back(member(r));
        return countRepeated(values);
    };
    m_dateCounts = collect([](const DuplicateRecord& r) {
        return r.dateOfBirth == kNoDate ? std::uint64_t(0) : std::uint64_t(std::uint32_t(r.dateOfBirth)) + 1;
    });
    for (const DuplicateRecord& r : m_records) {
        values.push_back(phoneBlock(r.mobile));
        values.push_back(phoneBlock(r.homePhone));
        values.push_back(phoneBlock(r.workPhone));
    }
    m_phoneCounts = countRepeated(values);
    m_emailCounts = collect([](const DuplicateRecord& r) { return r.email; });
    m_addressCounts = collect([](const DuplicateRecord& r) { return r.addressFull; });
    m_streetCounts = collect(streetKey);
    m_addressWords.shrink_to_fit();
}

int DuplicateRecords::surnameCount(int id) const
{
    return std::max(1, m_surnameCounts.empty() ? 1 : m_surnameCounts[std::size_t(id)]);
}
int DuplicateRecords::givenCount(int id) const
{
    return std::max(1, m_givenCounts.empty() ? 1 : m_givenCounts[std::size_t(id)]);
}
int DuplicateRecords::dateCount(int day) const
{
    return day == kNoDate ? 1 : lookupCount(m_dateCounts, std::uint64_t(std::uint32_t(day)) + 1);
}
int DuplicateRecords::phoneCount(std::uint64_t key) const
{
    return lookupCount(m_phoneCounts, phoneBlock(key));
}
int DuplicateRecords::emailCount(std::uint64_t key) const
{
    return lookupCount(m_emailCounts, key);
}
int DuplicateRecords::addressCount(std::uint64_t key) const
{
    return lookupCount(m_addressCounts, key);
}
int DuplicateRecords::streetCount(const DuplicateRecord& r) const
{
    return lookupCount(m_streetCounts, streetKey(r));
}

} // namespace kolvix
