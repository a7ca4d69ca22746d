#include "duplicates/DuplicateScoring.h"

#include <QDateTime>

#include <algorithm>
#include <array>
#include <cmath>

namespace kolvix {

namespace {

constexpr int kMaxNameLetters = 64;

bool isAsciiLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

std::uint64_t fnv1a(QStringView text)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (QChar c : text) {
        hash ^= c.unicode();
        hash *= 1099511628211ull;
    }
    return hash ? hash : 1;
}

} // namespace

// ---- Normalisation ----------------------------------------------------------------------------

QString normaliseName(QStringView text)
{
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 128) {
            ascii = false;
            break;
        }
    QString decomposed;
    if (!ascii) {
        decomposed = text.toString().normalized(QString::NormalizationForm_KD);
        text = decomposed;
    }
    QString out;
    out.reserve(std::min<qsizetype>(text.size(), kMaxNameLetters));
    for (QChar c : text) {
        if (out.size() >= kMaxNameLetters)
            break;
        if (isAsciiLetter(c))
            out.append(c.toUpper());
        else if (!ascii && c.isLetter())
            out.append(c.toUpper());
    }
    return out;
}

QString firstGivenName(QStringView text)
{
    qsizetype start = 0;
    while (start < text.size() && !text[start].isLetter())
        ++start;
    qsizetype end = start;
    while (end < text.size() && (text[end].isLetter() || text[end].isMark() || text[end] == u'\''))
        ++end;
    return normaliseName(text.mid(start, end - start));
}

std::uint32_t phoneticCode(QStringView name)
{
    QString letters;
    letters.reserve(name.size());
    for (QChar c : name)
        if (c >= u'A' && c <= u'Z')
            letters.append(c);
    if (letters.isEmpty()) {
        // A name without Latin letters: equal names still share a code.
        return name.isEmpty() ? 0 : std::uint32_t(fnv1a(name) | 0x80000000u);
    }

    // Spellings that sound alike at the start of a name.
    const auto startsWith = [&](const char* prefix) { return letters.startsWith(QLatin1String(prefix)); };
    if (startsWith("KN") || startsWith("GN") || startsWith("PN") || startsWith("WR") || startsWith("PS"))
        letters.remove(0, 1);
    else if (startsWith("PH"))
        letters.replace(0, 2, QStringLiteral("F"));
    else if (startsWith("WH"))
        letters.replace(0, 2, QStringLiteral("W"));
    letters.replace(QLatin1String("PH"), QLatin1String("F"));
    letters.replace(QLatin1String("GH"), QLatin1String("H"));

    QChar first = letters[0];
    switch (first.unicode()) {
    case u'C':
        first = (letters.size() > 1 && (letters[1] == u'E' || letters[1] == u'I' || letters[1] == u'Y')) ? u'S' : u'K';
        break;
    case u'Q':
        first = u'K';
        break;
    case u'Z':
    case u'X':
        first = u'S';
        break;
    case u'E':
    case u'I':
    case u'O':
    case u'U':
    case u'Y':
        first = u'A';
        break;
    case u'V':
        first = u'F';
        break;
    default:
        break;
    }

    // Soundex digits of the letters, with H and W not separating equal digits.
    static constexpr std::array<char, 26> kDigits = {0,   '1', '2', '3', 0,   '1', '2', 0, 0,   '2', '2', '4', '5',
                                                     '5', 0,   '1', '2', '6', '2', '3', 0, '1', 0,   '2', 0,   '2'};
    std::uint32_t code = std::uint32_t(first.unicode() - u'A' + 1) << 20;
    int count = 0;
    char last = kDigits[std::size_t(letters[0].unicode() - u'A')];
    for (qsizetype i = 1; i < letters.size() && count < 4; ++i) {
        const QChar c = letters[i];
        const char digit = kDigits[std::size_t(c.unicode() - u'A')];
        if (digit == 0) {
            if (c != u'H' && c != u'W')
                last = 0;
            continue;
        }
        if (digit == last)
            continue;
        last = digit;
        code |= std::uint32_t(digit - '0') << (16 - 4 * count);
        ++count;
    }
    return code;
}

double jaroWinkler(QStringView a, QStringView b)
{
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() && b.isEmpty() ? 1.0 : 0.0;
    if (a == b)
        return 1.0;
    const qsizetype la = a.size();
    const qsizetype lb = b.size();
    const qsizetype window = std::max<qsizetype>(0, std::max(la, lb) / 2 - 1);
    // Names are at most 64 letters; longer texts take the heap.
    char stackA[kMaxNameLetters] = {}, stackB[kMaxNameLetters] = {};
    std::vector<char> heapA, heapB;
    char* matchedA = stackA;
    char* matchedB = stackB;
    if (la > kMaxNameLetters || lb > kMaxNameLetters) {
        heapA.assign(std::size_t(la), 0);
        heapB.assign(std::size_t(lb), 0);
        matchedA = heapA.data();
        matchedB = heapB.data();
    }
    qsizetype matches = 0;
    for (qsizetype i = 0; i < la; ++i) {
        const qsizetype from = std::max<qsizetype>(0, i - window);
        const qsizetype to = std::min(lb - 1, i + window);
        for (qsizetype j = from; j <= to; ++j) {
            if (matchedB[std::size_t(j)] || a[i] != b[j])
                continue;
            matchedA[std::size_t(i)] = matchedB[std::size_t(j)] = 1;
            ++matches;
            break;
        }
    }
    if (matches == 0)
        return 0.0;
    qsizetype transpositions = 0;
    for (qsizetype i = 0, j = 0; i < la; ++i) {
        if (!matchedA[std::size_t(i)])
            continue;
        while (!matchedB[std::size_t(j)])
            ++j;
        if (a[i] != b[j])
            ++transpositions;
        ++j;
    }
    const double m = double(matches);
    const double jaro = (m / double(la) + m / double(lb) + (m - double(transpositions) / 2.0) / m) / 3.0;
    qsizetype prefix = 0;
    while (prefix < 4 && prefix < la && prefix < lb && a[prefix] == b[prefix])
        ++prefix;
    return jaro + double(prefix) * 0.1 * (1.0 - jaro);
}

namespace {

// Groups of given names that stand for one another.
constexpr const char* kNicknameGroups[] = {
    "WILLIAM BILL BILLY WILL WILLY WILLIE LIAM",
    "ROBERT BOB BOBBY ROB ROBBIE BERT",
    "RICHARD DICK RICK RICKY RICH RICHIE",
    "JAMES JIM JIMMY JAMIE",
    "JOHN JACK JOHNNY JON",
    "JONATHAN JON JONNY",
    "MICHAEL MIKE MICK MICKY",
    "THOMAS TOM TOMMY",
    "CHARLES CHARLIE CHUCK CHAS",
    "EDWARD ED EDDIE TED TEDDY NED",
    "HENRY HARRY HAL HANK",
    "ANTHONY TONY",
    "JOSEPH JOE JOEY",
    "DANIEL DAN DANNY",
    "DAVID DAVE DAVY",
    "PETER PETE",
    "STEPHEN STEVEN STEVE STEVIE",
    "NICHOLAS NICK NICKY NICO",
    "ALEXANDER ALEX ALEC SANDY XANDER",
    "ALEXANDRA ALEX ALEXA SANDRA SANDY",
    "BENJAMIN BEN BENNY",
    "SAMUEL SAM SAMMY",
    "SAMANTHA SAM SAMMY",
    "MATTHEW MATT MATTY",
    "ANDREW ANDY DREW",
    "CHRISTOPHER CHRIS KIT TOPHER",
    "CHRISTINE CHRIS CHRISSY TINA",
    "CHRISTINA CHRIS TINA",
    "GERALD GERRY JERRY",
    "LAWRENCE LAURENCE LARRY LAURIE",
    "PATRICK PAT PADDY",
    "PATRICIA PAT PATTY TRISH TRICIA",
    "TIMOTHY TIM TIMMY",
    "RAYMOND RAY",
    "DONALD DON DONNY",
    "RONALD RON RONNIE",
    "KENNETH KEN KENNY",
    "GREGORY GREG",
    "JEFFREY JEFF GEOFFREY GEOFF",
    "FREDERICK FRED FREDDIE FREDDY",
    "ALBERT AL BERT BERTIE",
    "ALFRED ALF ALFIE",
    "DOUGLAS DOUG",
    "PHILIP PHILLIP PHIL PIP",
    "NATHAN NATE NAT",
    "NATHANIEL NATE NAT NATHAN",
    "ZACHARY ZACH ZAC ZACK",
    "JOSHUA JOSH",
    "OLIVER OLLIE OLLY",
    "LEONARD LEN LENNY LEO",
    "VINCENT VINCE VIN",
    "MARGARET MAGGIE MEG PEGGY PEG MARGIE GRETA MAISIE",
    "ELIZABETH LIZ LIZZIE BETH BETTY BETSY ELIZA LIBBY ELSIE LISA",
    "CATHERINE KATHERINE KATHRYN CATHY KATHY KATE KATIE KAT KITTY",
    "JENNIFER JENNY JEN JENN",
    "JESSICA JESS JESSIE",
    "REBECCA BECKY BEC BECCA",
    "DEBORAH DEBRA DEB DEBBIE",
    "SUSAN SUE SUSIE SUZY",
    "SUZANNE SUE SUZY",
    "BARBARA BARB BABS",
    "DOROTHY DOT DOTTIE DOLLY",
    "VICTORIA VICKY VIC TORI",
    "ELEANOR ELLIE NELL NELLIE NORA",
    "HELEN NELL NELLIE",
    "ABIGAIL ABBY ABBIE",
    "AMANDA MANDY",
    "JACQUELINE JACKIE",
    "KIMBERLEY KIMBERLY KIM",
    "PAMELA PAM",
    "SANDRA SANDY",
    "TERESA THERESA TERRY TESS TESSA",
    "VALERIE VAL",
    "JUDITH JUDY",
    "ISABELLA ISABEL BELLA IZZY",
    "GABRIELLE GABBY GABI",
    "MADELINE MADELEINE MADDIE MADDY",
    "ANNA ANNE ANN ANNIE",
    "MARY MOLLY POLLY MAY MAMIE",
    "SARAH SARA SALLY SADIE",
    "EMILY EM EMMY MILLIE",
    "AMELIA MILLIE AMY",
    "CHARLOTTE CHARLIE LOTTIE",
    "OLIVIA LIV LIVVY",
    "SOPHIA SOPHIE",
    "LUCY LUCINDA LUCILLE",
};

static_assert(std::size(kNicknameGroups) <= 128, "the nickname groups are held in 128 bits");

QHash<QString, NicknameGroups> buildNicknames()
{
    QHash<QString, NicknameGroups> table;
    int group = 0;
    for (const char* line : kNicknameGroups) {
        for (const QString& name : QString::fromLatin1(line).split(u' ', Qt::SkipEmptyParts))
            table[name][std::size_t(group / 64)] |= std::uint64_t(1) << (group % 64);
        ++group;
    }
    return table;
}

bool shortForm(QStringView a, QStringView b)
{
    // The first three letters or more of the other name, which has at least two letters more
    // (Sam and Samuel; not Luc and Lucy).
    const QStringView shorter = a.size() < b.size() ? a : b;
    const QStringView longer = a.size() < b.size() ? b : a;
    return shorter.size() >= 3 && longer.size() - shorter.size() >= 2 && longer.startsWith(shorter);
}

bool shareGroup(const NicknameGroups& a, const NicknameGroups& b)
{
    return (a[0] & b[0]) || (a[1] & b[1]);
}

} // namespace

NicknameGroups nicknameGroups(QStringView name)
{
    static const QHash<QString, NicknameGroups> table = buildNicknames();
    return table.value(name.toString());
}

bool isNickname(QStringView a, QStringView b)
{
    if (a.isEmpty() || b.isEmpty() || a == b)
        return false;
    return shortForm(a, b) || shareGroup(nicknameGroups(a), nicknameGroups(b));
}

int dayNumber(const QDate& date)
{
    if (!date.isValid() || date.year() < 1880 || date.year() > 2100)
        return kNoDate;
    return int(date.toJulianDay() - 2440588);
}

QDate dateOfValue(const QVariant& value)
{
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate();
    case QMetaType::QDateTime:
        return value.toDateTime().date();
    case QMetaType::QString: {
        const QString text = value.toString().trimmed();
        // 'YYYY-MM-DD' and anything after it (the embedded engine's date-times).
        if (text.size() >= 10 && text[4] == u'-' && text[7] == u'-') {
            bool okY = false, okM = false, okD = false;
            const int y = QStringView(text).mid(0, 4).toInt(&okY);
            const int m = QStringView(text).mid(5, 2).toInt(&okM);
            const int d = QStringView(text).mid(8, 2).toInt(&okD);
            if (okY && okM && okD)
                return QDate(y, m, d);
        }
        return QDate::fromString(text, Qt::ISODate);
    }
    default:
        return {};
    }
}

std::uint64_t phoneKey(QStringView text)
{
    char digits[24];
    int n = 0;
    for (QChar c : text)
        if (c >= u'0' && c <= u'9') {
            if (n == int(sizeof digits))
                return 0; // not a phone number
            digits[n++] = char(c.unicode());
        }
    int start = 0;
    if (n >= 11 && digits[0] == '6' && digits[1] == '1')
        start = 2; // +61 4xx xxx xxx
    const int count = n - start;
    if (count < 8)
        return 0;
    const int used = std::min(count, 9);
    std::uint64_t value = 0;
    for (int i = n - used; i < n; ++i)
        value = value * 10 + std::uint64_t(digits[i] - '0');
    return (std::uint64_t(used) << 60) | value;
}

namespace {
constexpr std::uint64_t kValueMask = (std::uint64_t(1) << 60) - 1;
std::uint64_t power10(int n)
{
    std::uint64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}
} // namespace

bool samePhone(std::uint64_t a, std::uint64_t b)
{
    if (!a || !b)
        return false;
    const int digits = int(std::min(a >> 60, b >> 60));
    const std::uint64_t mod = power10(digits);
    return (a & kValueMask) % mod == (b & kValueMask) % mod;
}

std::uint64_t phoneBlock(std::uint64_t key)
{
    return key ? (key & kValueMask) % 100000000ull + 1 : 0;
}

std::uint64_t emailKey(QStringView text)
{
    const QStringView email = text.trimmed();
    const qsizetype at = email.indexOf(u'@');
    if (at <= 0 || at == email.size() - 1 || email.size() > 254)
        return 0;
    std::uint64_t hash = 14695981039346656037ull;
    for (QChar c : email) {
        hash ^= c.toLower().unicode();
        hash *= 1099511628211ull;
    }
    return hash ? hash : 1;
}

namespace {

// The usual street-type words and their abbreviations; words to leave out have an empty one.
constexpr std::pair<const char16_t*, const char16_t*> kStreetWords[]
    = {{u"STREET", u"ST"},     {u"ROAD", u"RD"},     {u"AVENUE", u"AVE"},  {u"AV", u"AVE"},         {u"DRIVE", u"DR"},
       {u"COURT", u"CT"},      {u"CRT", u"CT"},      {u"PLACE", u"PL"},    {u"LANE", u"LN"},        {u"PARADE", u"PDE"},
       {u"CRESCENT", u"CRES"}, {u"HIGHWAY", u"HWY"}, {u"TERRACE", u"TCE"}, {u"BOULEVARD", u"BLVD"}, {u"CLOSE", u"CL"},
       {u"SQUARE", u"SQ"},     {u"GROVE", u"GR"},    {u"CIRCUIT", u"CCT"}, {u"WAY", u"WY"},         {u"NORTH", u"N"},
       {u"SOUTH", u"S"},       {u"EAST", u"E"},      {u"WEST", u"W"},      {u"UNIT", u""},          {u"FLAT", u""},
       {u"APT", u""},          {u"SHOP", u""}};

QStringView streetWord(QStringView word)
{
    for (const auto& [full, shortWord] : kStreetWords)
        if (word == QStringView(full))
            return QStringView(shortWord);
    return word;
}

} // namespace

AddressKeys addressKeys(QStringView text)
{
    if (text.size() > 512)
        text = text.left(512);
    AddressKeys keys;
    std::uint64_t full = 14695981039346656037ull;
    bool any = false;
    QChar word[32];
    int length = 0;
    // The house number is the last number before the first word of letters.
    QChar number[8];
    int numberLength = 0;
    bool streetDone = false;
    const auto flush = [&] {
        if (length == 0)
            return;
        const QStringView w = streetWord(QStringView(word, length));
        length = 0;
        if (w.isEmpty())
            return;
        if (any) {
            full ^= u' ';
            full *= 1099511628211ull;
        }
        for (QChar c : w) {
            full ^= c.unicode();
            full *= 1099511628211ull;
        }
        any = true;
        if (streetDone)
            return;
        if (w[0].isDigit() && w.size() <= 6) {
            numberLength = int(w.size());
            std::copy(w.begin(), w.end(), number);
            return;
        }
        if (numberLength > 0) {
            std::uint64_t street = 14695981039346656037ull;
            for (QChar c : QStringView(number, numberLength)) {
                street ^= c.unicode();
                street *= 1099511628211ull;
            }
            street ^= u' ';
            street *= 1099511628211ull;
            for (QChar c : w) {
                street ^= c.unicode();
                street *= 1099511628211ull;
            }
            keys.street = street ? street : 1;
        }
        streetDone = true;
    };
    for (QChar c : text) {
        if (c.isLetterOrNumber()) {
            if (length < 32) // longer words are cut
                word[length++] = c.toUpper();
        } else {
            flush();
        }
    }
    flush();
    if (any)
        keys.full = full ? full : 1;
    return keys;
}

// ---- Graded comparisons --------------------------------------------------------------------

namespace {

NameAgreement compareCoded(QStringView a, std::uint32_t codeA, const NicknameGroups& groupsA, QStringView b,
                           std::uint32_t codeB, const NicknameGroups& groupsB, bool given)
{
    if (a.isEmpty() || b.isEmpty())
        return NameAgreement::Missing;
    if (a == b)
        return NameAgreement::Exact;
    if (a.size() == 1 || b.size() == 1)
        return a[0] == b[0] ? NameAgreement::Initial : NameAgreement::Different;
    if (given && (shareGroup(groupsA, groupsB) || shortForm(a, b)))
        return NameAgreement::Nickname;
    // A phonetic code is coarse for short names (Linh and Liam share one): the spellings must
    // also be near.
    const double similarity = jaroWinkler(a, b);
    if (codeA == codeB && similarity >= 0.8)
        return NameAgreement::SoundsAlike;
    if (similarity >= 0.9)
        return NameAgreement::Similar;
    if (codeA == codeB && std::min(a.size(), b.size()) >= 5 && similarity >= 0.7)
        return NameAgreement::SoundsAlike;
    return NameAgreement::Different;
}

} // namespace

NameAgreement compareNames(QStringView a, QStringView b, bool givenNames)
{
    return compareCoded(a, phoneticCode(a), nicknameGroups(a), b, phoneticCode(b), nicknameGroups(b), givenNames);
}

namespace {
std::array<int, 8> dateDigits(int day)
{
    const QDate date = QDate::fromJulianDay(qint64(day) + 2440588);
    const int y = date.year(), m = date.month(), d = date.day();
    return {y / 1000, y / 100 % 10, y / 10 % 10, y % 10, m / 10, m % 10, d / 10, d % 10};
}
} // namespace

DateAgreement compareDates(int dayA, int dayB)
{
    if (dayA == kNoDate || dayB == kNoDate)
        return DateAgreement::Missing;
    if (dayA == dayB)
        return DateAgreement::Same;
    const QDate a = QDate::fromJulianDay(qint64(dayA) + 2440588);
    const QDate b = QDate::fromJulianDay(qint64(dayB) + 2440588);
    if (a.year() == b.year() && a.day() == b.month() && a.month() == b.day())
        return DateAgreement::DayMonthSwapped;
    const auto da = dateDigits(dayA);
    const auto db = dateDigits(dayB);
    int first = -1, differing = 0;
    for (int i = 0; i < 8; ++i)
        if (da[std::size_t(i)] != db[std::size_t(i)]) {
            if (first < 0)
                first = i;
            ++differing;
        }
    if (differing == 1)
        return DateAgreement::OneDigit;
    if (differing == 2 && first < 7 && da[std::size_t(first)] == db[std::size_t(first + 1)]
        && da[std::size_t(first + 1)] == db[std::size_t(first)])
        return DateAgreement::OneDigit;
    return DateAgreement::Different;
}

// ---- Records -------------------------------------------------------------------------------

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
    const QString display = text.trimmed().left(80);
    const int id = int(m_texts.size());
    m_texts.push_back(display);
    m_textNames.push_back({internName(normaliseName(display)), internName(firstGivenName(display))});
    m_textIndex.insert(text, id);
    return id;
}

void DuplicateRecords::add(const DuplicateInput& input)
{
    DuplicateRecord r;
    r.clientId = input.clientId;
    r.dateOfBirth = dayNumber(dateOfValue(input.dateOfBirth));
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
    r.addressStreet = address.street;
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
    m_streetCounts = collect([](const DuplicateRecord& r) { return r.addressStreet; });
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
int DuplicateRecords::streetCount(std::uint64_t key) const
{
    return lookupCount(m_streetCounts, key);
}

// ---- Scoring -------------------------------------------------------------------------------

namespace {

// Weight in bits, where the total weight reaches the default threshold.
constexpr double kThresholdWeight = 26.5;
constexpr double kScorePerBit = 2.0;

// Pseudo-count of the smoothing: the chance that another client holds a value is taken as
// (others + kPrior * typical) / (clients + kPrior), where `others` counts the clients that hold
// it besides the pair itself, so that a practice of a few clients still weighs as a typical one.
constexpr double kPrior = 5000.0;

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
constexpr double kDateM = 0.92, kDateTypical = 1.0 / 29000, kDateCap = 15, kDateDiffer = -7;
constexpr double kDateSwapped = 9, kDateOneDigit = 8;
constexpr double kMobileM = 0.6, kPhoneTypical = 1e-6, kMobileCap = 14, kMobileDiffer = -2.5;
constexpr double kOtherPhoneM = 0.4, kOtherPhoneCap = 11;
constexpr double kHomeM = 0.5, kHomeCap = 10, kHomeDiffer = -1;
constexpr double kEmailM = 0.5, kEmailTypical = 1e-6, kEmailCap = 12, kEmailDiffer = -1.5;
constexpr double kAddressM = 0.6, kAddressTypical = 1e-5, kAddressCap = 9, kAddressDiffer = -1.5;
constexpr double kStreetM = 0.3, kStreetTypical = 2e-5, kStreetCap = 6;
// Home phone, address and a family's e-mail are shared by a household: together they count at
// most this much.
constexpr double kHouseholdCap = 13;

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

struct NameVerdict
{
    NameAgreement level = NameAgreement::Missing;
    double weight = 0;
    const char* reason = nullptr;
};

} // namespace

DuplicateScorer::DuplicateScorer(const DuplicateRecords& records)
    : m_records(records)
{
}

int DuplicateScorer::scoreOfWeight(double weight)
{
    const double score = 50.0 + kScorePerBit * (weight - kThresholdWeight);
    return int(std::lround(std::clamp(score, 0.0, 100.0)));
}

PairScore DuplicateScorer::score(int ia, int ib, bool withReasons) const
{
    const DuplicateRecords& rs = m_records;
    const DuplicateRecord& a = rs[ia];
    const DuplicateRecord& b = rs[ib];
    const int clients = rs.size();
    PairScore result;
    QStringList reasons;
    double total = 0;

    const auto nameLevel = [&](int x, int y, bool given) {
        if (x == y)
            return x ? NameAgreement::Exact : NameAgreement::Missing;
        return compareCoded(rs.name(x), rs.nameCode(x), rs.nicknames(x), rs.name(y), rs.nameCode(y), rs.nicknames(y),
                            given);
    };
    const auto surnameExact = [&](int id, int own = 2) {
        return agreementWeight(kSurnameM, rs.surnameCount(id), clients, kSurnameTypical, kSurnameCap, own);
    };
    const auto givenExact = [&](int id, int own = 2) {
        return agreementWeight(kGivenM, rs.givenCount(id), clients, kGivenTypical, kGivenCap, own);
    };
    const auto graded = [&](NameAgreement level, int x, int y, bool given) -> double {
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
    };

    // Surname.
    NameVerdict surname;
    surname.level = nameLevel(a.surname, b.surname, false);
    surname.weight = graded(surname.level, a.surname, b.surname, false);
    switch (surname.level) {
    case NameAgreement::Exact:
        surname.reason = "same surname";
        break;
    case NameAgreement::SoundsAlike:
        surname.reason = "surname sounds alike";
        break;
    case NameAgreement::Similar:
        surname.reason = "surname nearly the same";
        break;
    case NameAgreement::Initial:
        surname.reason = "same surname initial";
        break;
    case NameAgreement::Different:
        surname.reason = "different surname";
        break;
    default:
        break;
    }

    // Given name: the names themselves, their first words, and the preferred names.
    NameVerdict given;
    given.level = nameLevel(a.given, b.given, true);
    given.weight = graded(given.level, a.given, b.given, true);
    const auto consider = [&](NameAgreement level, double weight, const char* reason) {
        if (level == NameAgreement::Missing || level == NameAgreement::Different)
            return;
        if (given.level == NameAgreement::Missing || given.level == NameAgreement::Different || weight > given.weight) {
            given.level = level;
            given.weight = weight;
            given.reason = reason;
        }
    };
    switch (given.level) {
    case NameAgreement::Exact:
        given.reason = "same given name";
        break;
    case NameAgreement::Nickname:
        given.reason = "given name is a nickname";
        break;
    case NameAgreement::SoundsAlike:
        given.reason = "given name sounds alike";
        break;
    case NameAgreement::Similar:
        given.reason = "given name nearly the same";
        break;
    case NameAgreement::Initial:
        given.reason = "same initial";
        break;
    default:
        break;
    }
    if (given.level != NameAgreement::Exact) {
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
    }

    // Given name and surname swapped.
    bool swapped = false;
    if (surname.level == NameAgreement::Different || given.level == NameAgreement::Different) {
        const NameAgreement one = nameLevel(a.surname, b.given, false);
        const NameAgreement two = nameLevel(a.given, b.surname, false);
        const auto good = [](NameAgreement l) {
            return l == NameAgreement::Exact || l == NameAgreement::SoundsAlike || l == NameAgreement::Similar;
        };
        if (good(one) && good(two)) {
            const double w = graded(one, a.surname, b.given, false) + graded(two, a.given, b.surname, true) - 1.0;
            if (w > surname.weight + given.weight) {
                swapped = true;
                surname = {one, w, nullptr};
                given = {two, 0, nullptr};
            }
        }
    }
    total += surname.weight + given.weight;
    result.namesAgree = surname.weight > 0 || given.weight > 0;

    // Date of birth.
    double dateWeight = 0;
    const char* dateReason = nullptr;
    switch (compareDates(a.dateOfBirth, b.dateOfBirth)) {
    case DateAgreement::Same:
        dateWeight = agreementWeight(kDateM, rs.dateCount(a.dateOfBirth), clients, kDateTypical, kDateCap);
        dateReason = "same date of birth";
        break;
    case DateAgreement::DayMonthSwapped:
        dateWeight = kDateSwapped;
        dateReason = "day and month of birth swapped";
        break;
    case DateAgreement::OneDigit:
        dateWeight = kDateOneDigit;
        dateReason = "date of birth one digit off";
        break;
    case DateAgreement::Different:
        dateWeight = kDateDiffer;
        dateReason = "different date of birth";
        break;
    case DateAgreement::Missing:
        break;
    }
    total += dateWeight;

    // Telephones: the mobile is the client's own; a number that appears in another field of the
    // other record (a mobile entered as home phone) counts as well.
    const char* phoneReason = nullptr;
    if (samePhone(a.mobile, b.mobile)) {
        total += agreementWeight(kMobileM, rs.phoneCount(a.mobile), clients, kPhoneTypical, kMobileCap);
        phoneReason = "same mobile";
    } else {
        bool cross = false;
        std::uint64_t crossKey = 0;
        for (const auto& [x, y] : {std::pair(a.mobile, b.homePhone), std::pair(a.mobile, b.workPhone),
                                   std::pair(a.homePhone, b.mobile), std::pair(a.workPhone, b.mobile)})
            if (samePhone(x, y)) {
                cross = true;
                crossKey = x;
                break;
            }
        if (cross) {
            total += agreementWeight(kOtherPhoneM, rs.phoneCount(crossKey), clients, kPhoneTypical, kOtherPhoneCap);
            phoneReason = "same phone";
        } else if (a.mobile && b.mobile) {
            total += kMobileDiffer;
        }
    }

    double household = 0;
    const char* homeReason = nullptr;
    if (samePhone(a.homePhone, b.homePhone)) {
        household += agreementWeight(kHomeM, rs.phoneCount(a.homePhone), clients, kPhoneTypical, kHomeCap);
        homeReason = "same home phone";
    } else if (a.homePhone && b.homePhone) {
        household += kHomeDiffer;
    }
    const char* addressReason = nullptr;
    if (a.addressFull && a.addressFull == b.addressFull) {
        household += agreementWeight(kAddressM, rs.addressCount(a.addressFull), clients, kAddressTypical, kAddressCap);
        addressReason = "same address";
    } else if (a.addressStreet && a.addressStreet == b.addressStreet) {
        household += agreementWeight(kStreetM, rs.streetCount(a.addressStreet), clients, kStreetTypical, kStreetCap);
        addressReason = "same street address";
    } else if (a.addressFull && b.addressFull) {
        household += kAddressDiffer;
    }
    // An e-mail address shared at a shared address or home phone is a family's: it counts
    // with the household.
    const char* emailReason = nullptr;
    if (a.email && a.email == b.email) {
        const double w = agreementWeight(kEmailM, rs.emailCount(a.email), clients, kEmailTypical, kEmailCap);
        if (homeReason || addressReason)
            household += w;
        else
            total += w;
        emailReason = "same e-mail";
    } else if (a.email && b.email) {
        total += kEmailDiffer;
    }
    total += std::min(household, kHouseholdCap);

    result.weight = total;
    // Without any agreement of a name there is no pair (two blank records share nothing).
    result.score = result.namesAgree ? scoreOfWeight(total) : 0;
    if (withReasons) {
        const auto add = [&](const char* reason) {
            if (reason)
                reasons.append(QString::fromLatin1(reason));
        };
        add(dateReason && dateWeight > 0 ? dateReason : nullptr);
        if (swapped) {
            add("given name and surname swapped");
        } else {
            add(surname.weight > 0 ? surname.reason : nullptr);
            add(given.weight > 0 ? given.reason : nullptr);
        }
        add(phoneReason);
        add(homeReason);
        add(emailReason);
        add(addressReason);
        if (!swapped)
            add(surname.level == NameAgreement::Different ? surname.reason : nullptr);
        add(dateWeight < 0 ? dateReason : nullptr);
        result.reasons = reasons;
    }
    return result;
}

} // namespace kolvix
