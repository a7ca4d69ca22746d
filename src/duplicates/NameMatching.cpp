#include "duplicates/NameMatching.h"

#include "duplicates/Fnv1a.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <vector>

namespace kolvix {

namespace {

constexpr int kMaxNameLetters = 64;

bool isAsciiLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
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

// ---- Phonetic code and similarity ----------------------------------------------------------

std::uint32_t phoneticCode(QStringView name)
{
    QString letters;
    letters.reserve(name.size());
    for (QChar c : name)
        if (c >= u'A' && c <= u'Z')
            letters.append(c);
    if (letters.isEmpty()) {
        // A name without Latin letters: equal names still share a code.
        if (name.isEmpty())
            return 0;
        Fnv1a hash;
        hash.add(name);
        return std::uint32_t(hash.key() | 0x80000000u);
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

namespace {

// Jaro-Winkler over any text of code units (QStringView, std::string_view).
template <typename Text> double jaroWinklerOf(Text a, Text b)
{
    if (a.empty() || b.empty())
        return a.empty() && b.empty() ? 1.0 : 0.0;
    if (a == b)
        return 1.0;
    const qsizetype la = qsizetype(a.size());
    const qsizetype lb = qsizetype(b.size());
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
            if (matchedB[std::size_t(j)] || a[std::size_t(i)] != b[std::size_t(j)])
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
        if (a[std::size_t(i)] != b[std::size_t(j)])
            ++transpositions;
        ++j;
    }
    const double m = double(matches);
    const double jaro = (m / double(la) + m / double(lb) + (m - double(transpositions) / 2.0) / m) / 3.0;
    qsizetype prefix = 0;
    while (prefix < 4 && prefix < la && prefix < lb && a[std::size_t(prefix)] == b[std::size_t(prefix)])
        ++prefix;
    return jaro + double(prefix) * 0.1 * (1.0 - jaro);
}

} // namespace

double jaroWinkler(QStringView a, QStringView b)
{
    return jaroWinklerOf(a, b);
}

double jaroWinkler(std::string_view a, std::string_view b)
{
    return jaroWinklerOf(a, b);
}

namespace {

template <typename Text> int editDistanceOf(Text a, Text b)
{
    // What the two have in common at the start and at the end takes no edit.
    while (!a.empty() && !b.empty() && a.front() == b.front()) {
        a = Text(a.data() + 1, a.size() - 1);
        b = Text(b.data() + 1, b.size() - 1);
    }
    while (!a.empty() && !b.empty() && a.back() == b.back()) {
        a = Text(a.data(), a.size() - 1);
        b = Text(b.data(), b.size() - 1);
    }
    if (a.empty() || b.empty())
        return int(std::max(a.size(), b.size()));
    // Damerau-Levenshtein (optimal string alignment) over three rows.
    const qsizetype la = qsizetype(a.size()), lb = qsizetype(b.size());
    if (la > kMaxNameLetters || lb > kMaxNameLetters)
        return int(std::max(la, lb));
    std::array<int, kMaxNameLetters + 1> before {}, previous {}, current {};
    for (qsizetype j = 0; j <= lb; ++j)
        previous[std::size_t(j)] = int(j);
    for (qsizetype i = 1; i <= la; ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= lb; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            int best = std::min(
                {previous[std::size_t(j)] + 1, current[std::size_t(j - 1)] + 1, previous[std::size_t(j - 1)] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                best = std::min(best, before[std::size_t(j - 2)] + 1);
            current[std::size_t(j)] = best;
        }
        before = previous;
        previous = current;
    }
    return previous[std::size_t(lb)];
}

} // namespace

int editDistance(QStringView a, QStringView b)
{
    return editDistanceOf(a, b);
}

int editDistance(std::string_view a, std::string_view b)
{
    return editDistanceOf(a, b);
}

// ---- Nicknames and short forms -------------------------------------------------------------

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
    // (Sam and Samuel; not Luc and Lucy), and not the name with a feminine ending (Daniel and
    // Danielle, Dean and Deanna, Glen and Glenda, Max and Maxine are brother and sister).
    static constexpr QStringView kFeminineEndings[]
        = {u"LE", u"NA", u"NE", u"DA", u"INE", u"ETTE", u"ELLE", u"IA", u"INA"};
    const QStringView shorter = a.size() < b.size() ? a : b;
    const QStringView longer = a.size() < b.size() ? b : a;
    if (shorter.size() < 3 || longer.size() - shorter.size() < 2 || !longer.startsWith(shorter))
        return false;
    const QStringView ending = longer.mid(shorter.size());
    return std::find(std::begin(kFeminineEndings), std::end(kFeminineEndings), ending) == std::end(kFeminineEndings);
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

// ---- Graded comparison ---------------------------------------------------------------------

NameAgreement compareCodedNames(QStringView a, std::uint32_t codeA, const NicknameGroups& groupsA, QStringView b,
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
    if (similarity >= kSimilarSpelling)
        return NameAgreement::Similar;
    if (codeA == codeB && std::min(a.size(), b.size()) >= 5 && similarity >= 0.7)
        return NameAgreement::SoundsAlike;
    // One letter inserted, left out, wrong or two swapped, two in names of seven letters or more,
    // which Jaro-Winkler weighs low near the start of a name (Llivia, Olivia). A given name with
    // another first letter is more often another name (Linh, Minh).
    const qsizetype shorter = std::min(a.size(), b.size());
    if (shorter >= 7 && editDistance(a, b) <= 2)
        return NameAgreement::Similar;
    if (shorter >= 4 && (a[0] == b[0] || !given) && editDistance(a, b) == 1)
        return NameAgreement::Similar;
    return NameAgreement::Different;
}

NameAgreement compareNames(QStringView a, QStringView b, bool givenNames)
{
    return compareCodedNames(a, phoneticCode(a), nicknameGroups(a), b, phoneticCode(b), nicknameGroups(b), givenNames);
}

} // namespace kolvix
