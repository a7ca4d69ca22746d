// Settings files, bounded and seeded (reliability/FuzzRandom.h): settings planted among noise are
// found with their values, and a file of any text is read without failure.

#include "reliability/FuzzRandom.h"
#include "settings/IniFile.h"
#include "support/QtPrinting.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <optional>

namespace kolvix::test {
namespace {

TEST(FuzzTest, SettingsFilesGiveBackWhatWasPlantedAmongNoise)
{
    Random random(1);
    for (int round = 0; round < 300; ++round) {
        // Planted names hold '§', which the noise never does, so no noise line can be taken for them.
        struct Planted
        {
            QString section;
            QString key;
            QString expected;
            std::optional<bool> flag; // for a number
        };
        std::vector<Planted> planted;
        QString text = QStringLiteral("Orphan§=before any section\n");
        const int sections = random.between(1, 4);
        for (int s = 0; s < sections; ++s) {
            for (int n = random.between(0, 4); n > 0; --n)
                text += random.text(kNoise, 30) + (random.chance(50) ? "\r\n" : "\n");
            const QString section = QStringLiteral("Sec§%1").arg(s);
            const QString key = QStringLiteral("Key§%1").arg(s);
            std::optional<bool> flag;
            QString core = valueCore(random, random.chance(5) ? 2500 : 40);
            if (random.chance(20)) { // a number: decimal with a sign, or hexadecimal
                const int number = random.between(-3, 3);
                const QString hex = random.pick<QString>({"0x", "0X", "$"});
                core = number < 0 || random.chance(50) ? QString::number(number) : hex + QString::number(number, 16);
                flag = number != 0;
            }
            QString written = core;
            if (random.chance(30)) { // one pair of enclosing quotes comes off
                const QString quote = random.chance(50) ? "\"" : "'";
                written = quote + core + quote;
            } else if (core.size() >= 2 && (core.front() == u'"' || core.front() == u'\'')
                       && core.back() == core.front()) {
                core = core.mid(1, core.size() - 2);
            }
            // The header (anything after its ']' is ignored), then the key.
            text += blanks(random) + "[" + blanks(random) + section + blanks(random) + "]" + random.text(kNoise, 5)
                + "\n" + blanks(random) + key + blanks(random) + "=" + blanks(random) + written + blanks(random) + "\n";
            if (random.chance(30))
                text += key + "=the second one loses\n";
            planted.push_back({section, key, core.left(2047), flag});
        }
        for (int n = random.between(0, 4); n > 0; --n)
            text += random.text(kNoise, 30) + "\n";
        if (random.chance(50)) // a repeated section: the first of the name wins
            text += "[" + planted.front().section + "]\n" + planted.front().key + "=the repeated section loses\n";

        const IniFile ini = IniFile::fromText(text);
        for (const Planted& p : planted) {
            const std::optional<QString> value = ini.value(randomCase(random, p.section), randomCase(random, p.key));
            ASSERT_TRUE(value.has_value()) << "round " << round << ":\n" << text.toStdString();
            EXPECT_EQ(*value, p.expected) << "round " << round << ":\n" << text.toStdString();
            EXPECT_FALSE(ini.value(p.section, QStringLiteral("Orphan§")).has_value());
            const bool flag = ini.readBool(p.section, p.key, random.chance(50));
            if (p.flag) {
                EXPECT_EQ(flag, *p.flag) << p.expected.toStdString();
            }
        }
    }
}

TEST(FuzzTest, SettingsFilesOfAnyTextAreReadWithoutFailure)
{
    Random random(2);
    std::vector<QString> anything = kNoise;
    for (const char* piece : {"\n", "\r\n", "[", "]\n", "\n[", "=\n", "\n;", "\n#"})
        anything.push_back(QString::fromLatin1(piece));
    anything.push_back(QString(QChar(0xD800))); // half a surrogate pair
    anything.push_back(QString(QChar(0)));
    for (int round = 0; round < 500; ++round) {
        const QString text = random.text(anything, 200);
        const IniFile ini = IniFile::fromText(text);
        for (int probe = 0; probe < 5; ++probe) {
            const QString section = random.text(kNoise, 4);
            const QString key = random.text(kNoise, 4);
            const std::optional<QString> value = ini.value(section, key);
            if (value) {
                EXPECT_LE(value->size(), 2047);
            }
            ini.readBool(section, key, false);
            ini.readString(section, key, QString());
        }
    }
}

} // namespace
} // namespace kolvix::test
