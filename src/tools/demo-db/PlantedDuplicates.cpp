// Planted duplicates: clients written again with the errors of a busy front desk, and household
// members and twins of other clients, who are different people.

#include "tools/demo-db/DemoBuilder.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace kolvix::demo {

namespace {

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
        const int id = write(row);
        m_relativePairs.push_back(std::to_string(source) + "\t" + std::to_string(id) + "\t"
                                  + (twin ? "twins" : "household"));
    }

    // Families of their own, two new clients each (in the large practice): a surname, a home at
    // one address with one home phone, and a day of birth for each.
    const auto family = [&](const char* name, const std::string& born) {
        const Place& place = kPlaces[std::size_t(r.between(0, int(kPlaces.size()) - 1))];
        PlantedRow row;
        row[cTitle] = "Mx";
        row[cName] = name;
        row[cSurname] = r.pick(kSurnames);
        row[cActive] = "T";
        row[cBirth] = born;
        row[cAddress] = std::to_string(r.between(1, 250)) + " " + r.pick(kStreets);
        row[cSuburb] = place.suburb;
        row[cState] = place.state;
        row[cPostCode] = place.postCode;
        row[cHome] = "(0" + std::to_string(r.between(2, 8)) + ") " + r.digits(4) + " " + r.digits(4);
        row[cOccupation] = r.pick(kOccupations);
        row[cPractitioner] = "1";
        return row;
    };
    const auto plantPair = [&](const PlantedRow& first, const PlantedRow& second, const char* kind) {
        const int a = write(first);
        const int b = write(second);
        m_relativePairs.push_back(std::to_string(a) + "\t" + std::to_string(b) + "\t" + kind);
    };
    const auto monthDay = [](const std::string& born) { return std::pair(born.substr(5, 2), born.substr(8, 2)); };
    constexpr int kYear = 365;
    const int families = everyKind ? 0 : count / 16;
    for (int i = 0; i < families; ++i) {
        // A parent and a child of one name, born 20 to 45 years apart.
        const int parentBorn = kReferenceDay - r.between(24 * kYear, 90 * kYear);
        const int childBorn
            = parentBorn + r.between(20 * kYear, std::min(45 * kYear, kReferenceDay - parentBorn - kYear));
        const char* name = r.pick(kGivenNames);
        PlantedRow parent = family(name, isoDateTime(parentBorn));
        PlantedRow child = parent;
        child[cBirth] = isoDateTime(childBorn);
        parent[cMobile] = mobileNumber(r);
        plantPair(parent, child, "parent and child");

        // Siblings of alike names, born 1 to 12 years apart on other birthdays.
        const auto& [brother, sister] = kAlikeGivenNames[std::size_t(r.between(0, int(kAlikeGivenNames.size()) - 1))];
        const int elderBorn = kReferenceDay - r.between(14 * kYear, 80 * kYear);
        PlantedRow elder = family(brother, isoDateTime(elderBorn));
        PlantedRow younger = elder;
        younger[cName] = sister;
        do
            younger[cBirth] = isoDateTime(elderBorn + r.between(kYear, 12 * kYear));
        while (monthDay(*younger[cBirth]).first == monthDay(*elder[cBirth]).first
               || monthDay(*younger[cBirth]).second == monthDay(*elder[cBirth]).second);
        if (r.chance(0.5))
            std::swap(elder[cName], younger[cName]);
        plantPair(elder, younger, "siblings");

        // Adult twins of alike names, each with a mobile and an e-mail address of their own.
        const auto& [one, other] = kAlikeGivenNames[std::size_t(r.between(0, int(kAlikeGivenNames.size()) - 1))];
        PlantedRow first = family(one, isoDateTime(kReferenceDay - r.between(18 * kYear, 80 * kYear)));
        PlantedRow second = first;
        second[cName] = other;
        for (PlantedRow* twin : {&first, &second}) {
            (*twin)[cMobile] = mobileNumber(r);
            std::string email;
            for (char c : *(*twin)[cName] + "." + *(*twin)[cSurname])
                if (c != ' ' && c != '\'')
                    email += char(std::tolower(static_cast<unsigned char>(c)));
            (*twin)[cEmail] = email + r.digits(3) + "@" + r.pick(kMailDomains);
        }
        plantPair(first, second, "twins");
    }
}

} // namespace kolvix::demo
