// Command lines, bounded and seeded (reliability/FuzzRandom.h): among noise, the first argument
// of a key gives its value, trimmed.

#include "reliability/FuzzRandom.h"
#include "settings/CommandLine.h"
#include "support/QtPrinting.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <map>

namespace kolvix::test {
namespace {

TEST(FuzzTest, TheFirstArgumentOfAKeyGivesItsTrimmedValue)
{
    Random random(3);
    for (int round = 0; round < 500; ++round) {
        QStringList arguments;
        std::map<QString, QString> expected; // key -> value
        const int count = random.between(0, 12);
        for (int i = 0; i < count; ++i) {
            if (random.chance(40)) {
                const QString key = QStringLiteral("Key§%1").arg(random.between(0, 3));
                const QString core = valueCore(random, 20);
                if (random.chance(20)) // a blank in the key part: not that key
                    arguments << key + " =" + core;
                else {
                    arguments << randomCase(random, key) + "=" + blanks(random) + core + blanks(random);
                    expected.try_emplace(key, core);
                }
            } else {
                arguments << random.text(kNoise, 25);
            }
        }
        setCommandLineArguments(arguments);
        for (int k = 0; k < 4; ++k) {
            const QString key = QStringLiteral("Key§%1").arg(k);
            const auto it = expected.find(key);
            EXPECT_EQ(paramValue(randomCase(random, key)), it == expected.end() ? QString() : it->second)
                << arguments.join(QStringLiteral(" | ")).toStdString();
        }
        EXPECT_EQ(paramValue(QStringLiteral("Missing§")), QString());
    }
    setCommandLineArguments({});
}

} // namespace
} // namespace kolvix::test
