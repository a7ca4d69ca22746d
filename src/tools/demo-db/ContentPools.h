#pragma once

// The content of the generated practices: dates around a fixed reference day, the pools that
// names, streets, places and the other texts are drawn from, and the random source that draws
// them (the same seed draws the same content).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <utility>

namespace kolvix::demo {

// ---- Dates -----------------------------------------------------------------------------------

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
std::string isoDateTime(int days, int minutes = 0);

// The content is dated around this day, so that a seed always gives the same database.
constexpr int kReferenceDay = daysFromCivil(2024, 6, 30);

// ---- Pools -----------------------------------------------------------------------------------

template <std::size_t N> using Pool = std::array<const char*, N>;

inline constexpr Pool<64> kSurnames
    = {"Smith",   "Jones",    "Williams", "Brown",   "Wilson",   "Taylor",  "Johnson",  "White",
       "Martin",  "Anderson", "Thompson", "Nguyen",  "Thomas",   "Walker",  "Harris",   "Lee",
       "Ryan",    "Robinson", "Kelly",    "King",    "Davis",    "Wright",  "Evans",    "Roberts",
       "Green",   "Hall",     "Wood",     "Jackson", "Clarke",   "Patel",   "Khan",     "Lewis",
       "James",   "Phillips", "Mitchell", "Turner",  "Campbell", "Murphy",  "Edwards",  "Cooper",
       "O'Brien", "Baker",    "Hughes",   "Parker",  "Collins",  "Stewart", "Morris",   "Tran",
       "Murray",  "Bell",     "Kennedy",  "Ward",    "Young",    "Watson",  "Price",    "Bennett",
       "Gray",    "Russell",  "Cook",     "Rogers",  "Morgan",   "Reid",    "Di Marco", "Papadopoulos"};
inline constexpr Pool<48> kGivenNames
    = {"Olivia", "Charlotte", "Amelia",  "Isla",  "Mia",    "Ava",    "Grace",   "Chloe",   "Sophie", "Ruby",
       "Emily",  "Zoe",       "Hannah",  "Lily",  "Ella",   "Sarah",  "Jessica", "Emma",    "Lucy",   "Anna",
       "Maria",  "Linh",      "Priya",   "Aisha", "Oliver", "Noah",   "Jack",    "William", "Leo",    "Lucas",
       "Thomas", "Henry",     "James",   "Ethan", "Samuel", "Daniel", "Max",     "Liam",    "Cooper", "Mason",
       "Joshua", "Ryan",      "Michael", "David", "Peter",  "Minh",   "Arjun",   "Omar"};
inline constexpr Pool<16> kStreets
    = {"High St",  "Main Rd",  "Church St", "Station Rd",  "Park Ave",      "Victoria St", "George St", "King St",
       "Queen St", "Beach Rd", "Hill St",   "Railway Pde", "Ocean View Dr", "Bridge Rd",   "Mill Lane", "Wattle Crt"};
struct Place
{
    const char* suburb;
    const char* state;
    const char* postCode;
};
inline constexpr std::array<Place, 12> kPlaces = {{{"Fitzroy", "VIC", "3065"},
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
inline constexpr Pool<20> kOccupations
    = {"Teacher",  "Nurse",     "Electrician", "Accountant", "Student", "Retired",  "Carpenter",
       "Engineer", "Chef",      "Farmer",      "Plumber",    "Lawyer",  "Designer", "Pharmacist",
       "Mechanic", "Librarian", "Barista",     "Musician",   "Manager", "Cleaner"};
inline constexpr Pool<6> kMailDomains
    = {"example.com", "mail.example.net", "inbox.example.org", "example.com.au", "post.example.com", "example.net.au"};
inline constexpr Pool<8> kTransItems = {"Initial consultation",
                                        "Standard consultation",
                                        "Long consultation",
                                        "Treatment",
                                        "Review",
                                        "Report",
                                        "Orthotics",
                                        "Home visit"};
inline constexpr Pool<5> kAccountNames = {"Medicare", "WorkCover", "DVA", "Private", "Parent"};
inline constexpr Pool<6> kRecallReasons
    = {"Annual review", "Follow up", "Check-up", "Treatment plan", "Vaccination", "X-ray review"};
inline constexpr Pool<5> kRegions = {"Lumbar spine", "Cervical spine", "Knee", "Shoulder", "Ankle"};

// Short forms of the given names of the pool, as a front desk writes them.
inline constexpr std::array<std::pair<const char*, const char*>, 24> kNicknames
    = {{{"Olivia", "Liv"},   {"Charlotte", "Lottie"}, {"Amelia", "Millie"}, {"Sophie", "Sophia"}, {"Emily", "Em"},
        {"Sarah", "Sally"},  {"Jessica", "Jess"},     {"Anna", "Annie"},    {"Oliver", "Ollie"},  {"William", "Bill"},
        {"Thomas", "Tom"},   {"Henry", "Harry"},      {"James", "Jim"},     {"Samuel", "Sam"},    {"Daniel", "Danny"},
        {"Joshua", "Josh"},  {"Michael", "Mike"},     {"David", "Dave"},    {"Peter", "Pete"},    {"Jack", "John"},
        {"Liam", "William"}, {"Lucas", "Luke"},       {"Hannah", "Anna"},   {"Zoe", "Zoey"}}};

// Given names that brothers and sisters are given in pairs: alike in spelling or sound, each a
// name of its own.
inline constexpr std::array<std::pair<const char*, const char*>, 16> kAlikeGivenNames = {{
    {"Oliver", "Olivia"},
    {"Francis", "Frances"},
    {"Mario", "Maria"},
    {"Leo", "Leah"},
    {"Noel", "Noelle"},
    {"Luca", "Lucia"},
    {"Ryan", "Rhian"},
    {"Max", "Maxine"},
    {"Joel", "Joelle"},
    {"Dominic", "Dominique"},
    {"Jordan", "Jordyn"},
    {"Brendan", "Brenda"},
    {"Glen", "Glenda"},
    {"Henry", "Henrietta"},
    {"Sean", "Shona"},
    {"Marcus", "Marcia"},
}};

// ---- Random content --------------------------------------------------------------------------

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
inline std::optional<std::string> textOrNull(std::string text)
{
    if (text.empty())
        return std::nullopt;
    return text;
}

} // namespace kolvix::demo
