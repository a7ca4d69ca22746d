#include "duplicates/DuplicateScorer.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace kolvix {

namespace {

// Weight in bits, where the total weight reaches the default threshold.
constexpr double kThresholdWeight = 26.5;
constexpr double kScorePerBit = 2.0;

// Pseudo-count of the smoothing: the chance that another client holds a value is taken as
// (others + kPrior * typical) / (clients + kPrior), where `others` counts the clients that hold
// it besides the pair itself, so that a practice of a few clients still weighs as a typical one.
constexpr double kPrior = 5000.0;

// The weights below, and kThresholdWeight, are those of a practice of this many clients.
constexpr double kReferenceClients = 1000000.0;

// `own` is how many of the pair's two records hold the value counted: 2 for an exact agreement,
// 1 when the value is one side's spelling of a name.
double agreementWeight(double m, int count, int clients, double typicalFrequency, double cap, int own = 2)
{
    const double others = std::max(0, count - own);
    const double u = (others + kPrior * typicalFrequency) / (double(clients) + kPrior);
    return std::min(cap, std::log2(m / u));
}

// The fields: m (how often two records of one person agree), the typical frequency of one
// value, the largest weight an exact agreement can give, and the weight of a disagreement.
constexpr double kSurnameM = 0.9, kSurnameTypical = 1.0 / 2000, kSurnameCap = 12, kSurnameDiffer = -4.5;
constexpr double kGivenM = 0.9, kGivenTypical = 1.0 / 300, kGivenCap = 10, kGivenDiffer = -12;
constexpr double kDateM = 0.92, kDateTypical = 1.0 / 29000, kDateCap = 15;
constexpr double kDateSwapped = 9, kDateOneDigit = 8;
// Dates of birth that differ in more than a slip's way: few records of one person do, and the
// further apart the dates, the fewer: kDateDiffer, less kDateDifferPerYear a year apart, down to
// kDateDifferMost.
constexpr double kDateDiffer = -10, kDateDifferPerYear = 0.5, kDateDifferMost = -16;
// Dates of birth this many years apart or more are a generation apart (a parent and a child of
// one name at one address): two people, unless something of the person's own (the mobile, the
// e-mail address) agrees; the pair then weighs at most kGenerationCeiling.
constexpr double kGenerationYears = 15, kGenerationCeiling = 16.5;
// The same date of birth, given names that differ (also when alike) and contacts of their own
// (two mobiles, or two e-mail addresses): twins.
constexpr double kTwins = -16;
constexpr double kMobileM = 0.6, kPhoneTypical = 1e-6, kMobileCap = 14, kMobileDiffer = -3;
constexpr double kOtherPhoneM = 0.4, kOtherPhoneCap = 11;
constexpr double kHomeM = 0.5, kHomeCap = 10, kHomeDiffer = -1;
constexpr double kEmailM = 0.5, kEmailTypical = 1e-6, kEmailCap = 12, kEmailDiffer = -2.5;
constexpr double kAddressM = 0.6, kAddressTypical = 1e-5, kAddressCap = 16, kAddressDiffer = -1.5;
// Graded agreement of addresses (addressSimilarity): nearly the same from kAddressNear (a slip in
// a word, a wrong digit, a part missing on one side), partly the same from kAddressPartly (the
// street with another house number, or the house in another spelling of the suburb), weighed
// by how many clients live in that street.
constexpr double kAddressNear = 0.8, kAddressNearPenalty = 2;
constexpr double kAddressPartly = 0.6, kAddressPartlyM = 0.4, kStreetTypical = 1e-4, kAddressPartlyCap = 10;
// Home phone, address and a family's e-mail are shared by a household: together they count at
// most kHouseholdCap, and at most kOneNameHouseholdCap when the given names agree as well (a
// relative with the same given name is rare; the same person at one address is not).
constexpr double kHouseholdCap = 13, kOneNameHouseholdCap = 18;

// A name held by this many clients or more is an established name, not a slip.
constexpr int kEstablishedName = 3;
// How alike (Jaro-Winkler) a rare spelling is to an established name when it is a slip of it.
constexpr double kAlikeSpelling = 0.8;

// How much a graded agreement is worth less than an exact one.
double gradePenalty(NameAgreement level)
{
    switch (level) {
    case NameAgreement::Nickname:
        return 2;
    case NameAgreement::FirstWord:
        return 1.5;
    case NameAgreement::SoundsAlike:
        return 2.5;
    case NameAgreement::Similar:
        return 3;
    default:
        return 0;
    }
}

// What each grade of a name agreement is called among the reasons, for the surname and for the
// given name; nullptr where the grade is not named.
struct NameReasons
{
    NameAgreement level;
    const char* surname;
    const char* given;
};
constexpr NameReasons kNameReasons[] = {
    {NameAgreement::Exact, "same surname", "same given name"},
    {NameAgreement::Nickname, nullptr, "given name is a nickname"},
    {NameAgreement::SoundsAlike, "surname sounds alike", "given name sounds alike"},
    {NameAgreement::Similar, "surname nearly the same", "given name nearly the same"},
    {NameAgreement::Initial, "same surname initial", "same initial"},
    {NameAgreement::Different, "different surname", nullptr},
};

const char* nameReason(NameAgreement level, bool given)
{
    for (const NameReasons& row : kNameReasons)
        if (row.level == level)
            return given ? row.given : row.surname;
    return nullptr;
}

struct NameVerdict
{
    NameAgreement level = NameAgreement::Missing;
    double weight = 0;
    const char* reason = nullptr;
};

// What one field adds: its weight in bits, the reason it gives (nullptr for none), and whether
// the values agree only in part (a slip, another field, nearly the same).
struct FieldVerdict
{
    double weight = 0;
    const char* reason = nullptr;
    bool graded = false;
    // Something disagrees: the values differ, or agree only in part.
    bool doubt() const { return weight < 0 || graded; }
};

// The comparison of the fields of two records, one function a field.
class PairComparison
{
public:
    PairComparison(const DuplicateRecords& records, int ia, int ib)
        : m_records(records)
        , a(records[ia])
        , b(records[ib])
        , m_clients(records.size())
    {
    }

    NameVerdict surname() const;
    // The given names, their first words and the preferred names.
    NameVerdict givenName() const;
    // True when the given name and surname agree better swapped; the verdicts are then replaced.
    bool namesSwapped(NameVerdict& surname, NameVerdict& given) const;
    FieldVerdict dateOfBirth() const;
    DateAgreement dates() const { return compareDates(a.dateOfBirth, b.dateOfBirth); }
    // How many years apart the two dates of birth are (both known).
    double yearsApart() const { return std::abs(a.dateOfBirth - b.dateOfBirth) / 365.25; }
    // Of a pair whose names are swapped, the record whose names look swapped: the one whose
    // surname is the rarer surname and whose given name the rarer given name; -1 when the two
    // cannot be told apart.
    int swappedRecord(int ia, int ib) const;
    // The mobile, or a number that appears in another field of the other record.
    FieldVerdict phones() const;
    // Home phone, address and e-mail address: a household may share them.
    FieldVerdict homePhone() const;
    FieldVerdict address() const;
    FieldVerdict email() const;

private:
    NameAgreement nameLevel(int x, int y, bool given) const;
    double surnameExact(int id, int own = 2) const;
    double givenExact(int id, int own = 2) const;
    double graded(NameAgreement level, int x, int y, bool given) const;

    const DuplicateRecords& m_records;
    const DuplicateRecord& a;
    const DuplicateRecord& b;
    int m_clients;
};

NameAgreement PairComparison::nameLevel(int x, int y, bool given) const
{
    const DuplicateRecords& rs = m_records;
    if (x == y)
        return x ? NameAgreement::Exact : NameAgreement::Missing;
    const NameAgreement level = compareCodedNames(rs.name(x), rs.nameCode(x), rs.nicknames(x), rs.name(y),
                                                  rs.nameCode(y), rs.nicknames(y), given);
    // A slip makes a spelling that few clients hold. Two given names an edit or two apart that
    // several clients each hold are two names (Ella and Emma, Oliver and Olivia: twins); a rare
    // spelling an edit from an established name is a slip, even in the first letter (Iily, Lily),
    // and so is a rare spelling much like another name (Saridra and Sandra, Holrnes and Holmes).
    const bool establishedX = (given ? rs.givenCount(x) : rs.surnameCount(x)) >= kEstablishedName;
    const bool establishedY = (given ? rs.givenCount(y) : rs.surnameCount(y)) >= kEstablishedName;
    if (given && level == NameAgreement::Similar && establishedX && establishedY
        && jaroWinkler(rs.name(x), rs.name(y)) < kSimilarSpelling)
        return NameAgreement::Different;
    if (level == NameAgreement::Different && establishedX != establishedY
        && std::min(rs.name(x).size(), rs.name(y).size()) >= 3
        && (editDistance(rs.name(x), rs.name(y)) == 1 || jaroWinkler(rs.name(x), rs.name(y)) >= kAlikeSpelling))
        return NameAgreement::Similar;
    return level;
}

double PairComparison::surnameExact(int id, int own) const
{
    return agreementWeight(kSurnameM, m_records.surnameCount(id), m_clients, kSurnameTypical, kSurnameCap, own);
}

double PairComparison::givenExact(int id, int own) const
{
    return agreementWeight(kGivenM, m_records.givenCount(id), m_clients, kGivenTypical, kGivenCap, own);
}

double PairComparison::graded(NameAgreement level, int x, int y, bool given) const
{
    switch (level) {
    case NameAgreement::Missing:
        return 0;
    case NameAgreement::Different:
        return given ? kGivenDiffer : kSurnameDiffer;
    case NameAgreement::Initial:
        return given ? 1.0 : 0.5;
    default: {
        // Graded agreements weigh as the more common of the two values.
        const double wx = given ? givenExact(x, 1) : surnameExact(x, 1);
        const double wy = given ? givenExact(y, 1) : surnameExact(y, 1);
        return std::min(wx, wy) - gradePenalty(level);
    }
    }
}

NameVerdict PairComparison::surname() const
{
    NameVerdict surname;
    surname.level = nameLevel(a.surname, b.surname, false);
    surname.weight = graded(surname.level, a.surname, b.surname, false);
    surname.reason = nameReason(surname.level, false);
    return surname;
}

NameVerdict PairComparison::givenName() const
{
    NameVerdict given;
    given.level = nameLevel(a.given, b.given, true);
    given.weight = graded(given.level, a.given, b.given, true);
    given.reason = nameReason(given.level, true);
    if (given.level == NameAgreement::Exact)
        return given;
    const auto consider = [&](NameAgreement level, double weight, const char* reason) {
        if (level == NameAgreement::Missing || level == NameAgreement::Different)
            return;
        if (given.level == NameAgreement::Missing || given.level == NameAgreement::Different || weight > given.weight) {
            given.level = level;
            given.weight = weight;
            given.reason = reason;
        }
    };
    if (a.givenFirst && a.givenFirst == b.givenFirst && (a.givenFirst != a.given || b.givenFirst != b.given))
        consider(NameAgreement::FirstWord, givenExact(a.givenFirst) - gradePenalty(NameAgreement::FirstWord),
                 "same first given name");
    // A preferred name written as the other record's given name. Two equal preferred names
    // alone say little (brothers Alexander and Alexis both go by Alex).
    for (const auto& [x, y] : {std::pair(a.preferred, b.given), std::pair(a.given, b.preferred)}) {
        const NameAgreement level = nameLevel(x, y, true);
        if (level == NameAgreement::Exact)
            consider(level, givenExact(x, 1) - 0.5, "preferred name matches");
        else if (level == NameAgreement::Nickname)
            consider(level, graded(level, x, y, true) - 0.5, "preferred name matches");
    }
    return given;
}

bool PairComparison::namesSwapped(NameVerdict& surname, NameVerdict& given) const
{
    if (surname.level != NameAgreement::Different && given.level != NameAgreement::Different)
        return false;
    const NameAgreement one = nameLevel(a.surname, b.given, false);
    const NameAgreement two = nameLevel(a.given, b.surname, false);
    const auto good = [](NameAgreement l) {
        return l == NameAgreement::Exact || l == NameAgreement::SoundsAlike || l == NameAgreement::Similar;
    };
    if (!good(one) || !good(two))
        return false;
    const double w = graded(one, a.surname, b.given, false) + graded(two, a.given, b.surname, true) - 1.0;
    if (w <= surname.weight + given.weight)
        return false;
    surname = {one, w, nullptr};
    given = {two, 0, nullptr};
    return true;
}

int PairComparison::swappedRecord(int ia, int ib) const
{
    const auto plausible = [this](const DuplicateRecord& r) {
        return double(m_records.surnameCount(r.surname)) * double(m_records.givenCount(r.given));
    };
    const double pa = plausible(a), pb = plausible(b);
    if (pa == pb)
        return -1;
    return pa < pb ? ia : ib;
}

FieldVerdict PairComparison::dateOfBirth() const
{
    switch (dates()) {
    case DateAgreement::Same:
        return {agreementWeight(kDateM, m_records.dateCount(a.dateOfBirth), m_clients, kDateTypical, kDateCap),
                "same date of birth"};
    case DateAgreement::DayMonthSwapped:
        return {kDateSwapped, "day and month of birth swapped", true};
    case DateAgreement::OneDigit:
        return {kDateOneDigit, "date of birth one digit off", true};
    case DateAgreement::Different:
        return {std::max(kDateDifferMost, kDateDiffer - kDateDifferPerYear * yearsApart()), "different date of birth"};
    case DateAgreement::Missing:
        break;
    }
    return {};
}

FieldVerdict PairComparison::phones() const
{
    // The mobile is the client's own; a number that appears in another field of the other
    // record (a mobile entered as home phone) counts as well.
    if (samePhone(a.mobile, b.mobile))
        return {agreementWeight(kMobileM, m_records.phoneCount(a.mobile), m_clients, kPhoneTypical, kMobileCap),
                "same mobile"};
    for (const auto& [x, y] : {std::pair(a.mobile, b.homePhone), std::pair(a.mobile, b.workPhone),
                               std::pair(a.homePhone, b.mobile), std::pair(a.workPhone, b.mobile)})
        if (samePhone(x, y))
            return {agreementWeight(kOtherPhoneM, m_records.phoneCount(x), m_clients, kPhoneTypical, kOtherPhoneCap),
                    "same phone", true};
    if (a.mobile && b.mobile)
        return {kMobileDiffer, nullptr};
    return {};
}

FieldVerdict PairComparison::homePhone() const
{
    if (samePhone(a.homePhone, b.homePhone))
        return {agreementWeight(kHomeM, m_records.phoneCount(a.homePhone), m_clients, kPhoneTypical, kHomeCap),
                "same home phone"};
    if (a.homePhone && b.homePhone)
        return {kHomeDiffer, nullptr};
    return {};
}

FieldVerdict PairComparison::address() const
{
    if (!a.addressFull || !b.addressFull)
        return {};
    if (a.addressFull == b.addressFull)
        return {
            agreementWeight(kAddressM, m_records.addressCount(a.addressFull), m_clients, kAddressTypical, kAddressCap),
            "same address"};
    const double similarity = addressSimilarity(m_records.address(a), m_records.address(b), kAddressPartly);
    if (similarity >= kAddressNear) {
        // As the more common of the two addresses, less what a slip costs.
        const int count = std::max(m_records.addressCount(a.addressFull), m_records.addressCount(b.addressFull));
        return {agreementWeight(kAddressM, count, m_clients, kAddressTypical, kAddressCap, 1) - kAddressNearPenalty,
                "address nearly the same", true};
    }
    if (similarity >= kAddressPartly) {
        // Mostly the same street: as common as the more common of the two streets.
        const int count = std::max(m_records.streetCount(a), m_records.streetCount(b));
        return {agreementWeight(kAddressPartlyM, count, m_clients, kStreetTypical, kAddressPartlyCap, 1),
                "address partly the same", true};
    }
    return {kAddressDiffer, nullptr};
}

FieldVerdict PairComparison::email() const
{
    if (a.email && a.email == b.email)
        return {agreementWeight(kEmailM, m_records.emailCount(a.email), m_clients, kEmailTypical, kEmailCap),
                "same e-mail"};
    if (a.email && b.email)
        return {kEmailDiffer, nullptr};
    return {};
}

} // namespace

DuplicateScorer::DuplicateScorer(const DuplicateRecords& records)
    : m_records(records)
    , m_sizeWeight(std::log2(kReferenceClients / std::max(double(records.size()), kPrior)))
{
}

int DuplicateScorer::scoreOfWeight(double weight)
{
    // kScorePerBit points a bit up to kLinearUpTo; above it the score nears 100 ever more slowly
    // (as sure as a pair can be), at the same slope where the two meet.
    constexpr double kLinearUpTo = 90;
    constexpr double kBitsToHalve = (100 - kLinearUpTo) * std::numbers::ln2 / kScorePerBit;
    const double linear = 50.0 + kScorePerBit * (weight - kThresholdWeight);
    const double score = linear <= kLinearUpTo
        ? linear
        : 100.0 - (100 - kLinearUpTo) * std::exp2(-(linear - kLinearUpTo) / kScorePerBit / kBitsToHalve);
    return int(std::lround(std::clamp(score, 0.0, 100.0)));
}

PairScore DuplicateScorer::score(int ia, int ib, bool withReasons) const
{
    const PairComparison pair(m_records, ia, ib);
    NameVerdict surname = pair.surname();
    NameVerdict given = pair.givenName();
    const bool swapped = pair.namesSwapped(surname, given);
    PairScore result;
    result.namesAgree = surname.weight > 0 || given.weight > 0;
    // Without any agreement of a name there is no pair (two blank records share nothing).
    if (!result.namesAgree && !withReasons)
        return result;
    const DateAgreement dates = pair.dates();
    const FieldVerdict date = pair.dateOfBirth();
    const FieldVerdict phone = pair.phones();
    const FieldVerdict home = pair.homePhone();
    const FieldVerdict address = pair.address();
    const FieldVerdict email = pair.email();

    // The given names agree as one person's: the same, the first of several names, a preferred
    // name (a nickname or short form is also a brother's or sister's name: Glen and Glenda).
    const bool givenAgrees = given.level == NameAgreement::Exact || given.level == NameAgreement::FirstWord;
    // Contacts of their own: two mobiles, or two e-mail addresses, that differ.
    const bool ownContacts = phone.weight < 0 || email.weight < 0;
    // Something of the person's own agrees: the mobile (also written in another field), the
    // e-mail address (a shared home phone or address is a household's).
    const bool personalAgrees = phone.reason || email.reason;
    // The same date of birth and given names that differ, even when alike: twins, or one
    // person with a slip in the given name.
    const bool twins = !swapped && dates == DateAgreement::Same && surname.level != NameAgreement::Different
        && (given.level == NameAgreement::SoundsAlike || given.level == NameAgreement::Similar
            || given.level == NameAgreement::Different);

    // The weights are those of a practice of kReferenceClients; in a smaller one there are fewer
    // other people to take a client for, and the same agreement is that much more telling.
    double total = m_sizeWeight;
    // Relatives share the surname and the home: when the given names differ, or do not wholly
    // agree while the dates of birth differ (siblings of alike names), or twins have contacts
    // of their own, the surname and what a household shares count together at most as a
    // household.
    const bool relatives = !swapped
        && (given.level == NameAgreement::Different || (!givenAgrees && dates == DateAgreement::Different)
            || (twins && ownContacts));
    total += relatives ? 0 : surname.weight;
    total += given.weight;
    total += date.weight;
    total += phone.weight;
    if (twins && ownContacts)
        total += kTwins;
    // An e-mail address shared at a shared address or home phone is a family's: it counts
    // with the household.
    double household = 0;
    household += home.weight;
    household += address.weight;
    if (email.reason && (home.reason || address.reason))
        household += email.weight;
    else
        total += email.weight;
    if (relatives)
        total += std::min(surname.weight + household, std::max(surname.weight, kHouseholdCap));
    else
        total += std::min(household, swapped || given.weight > 0 ? kOneNameHouseholdCap : kHouseholdCap);
    // Born a generation apart: a parent and a child, unless something of the person's own agrees.
    if (dates == DateAgreement::Different && pair.yearsApart() >= kGenerationYears && !personalAgrees)
        total = std::min(total, kGenerationCeiling);

    result.weight = total;
    result.score = result.namesAgree ? scoreOfWeight(total) : 0;
    // 100 only where nothing disagrees.
    const bool doubt = swapped || (surname.level != NameAgreement::Exact && surname.level != NameAgreement::Missing)
        || (given.level != NameAgreement::Exact && given.level != NameAgreement::Missing) || date.doubt()
        || phone.doubt() || home.doubt() || address.doubt() || email.doubt();
    if (doubt)
        result.score = std::min(result.score, 99);
    if (swapped)
        result.swappedRecord = pair.swappedRecord(ia, ib);
    if (withReasons) {
        QStringList reasons;
        const auto add = [&](const char* reason) {
            if (reason)
                reasons.append(QString::fromLatin1(reason));
        };
        add(date.reason && date.weight > 0 ? date.reason : nullptr);
        if (swapped) {
            add("given name and surname swapped");
        } else {
            add(surname.weight > 0 ? surname.reason : nullptr);
            add(given.weight > 0 ? given.reason : nullptr);
        }
        add(phone.reason);
        add(home.reason);
        add(email.reason);
        add(address.reason);
        if (!swapped)
            add(surname.level == NameAgreement::Different ? surname.reason : nullptr);
        add(date.weight < 0 ? date.reason : nullptr);
        add(twins ? "possible twins" : nullptr);
        result.reasons = reasons;
    }
    return result;
}

} // namespace kolvix
