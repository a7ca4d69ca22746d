// The terminal's answers to the question of a merge that cannot be recorded for undo: an
// unattended merge goes on without its record only when --irreversible says so.

#include "cli/TerminalUserInterface.h"

#include <gtest/gtest.h>

namespace kolvix::cli {
namespace {

TEST(TerminalUserInterfaceTest, AMergeWithoutARecordGoesOnUnattendedOnlyWithIrreversible)
{
    struct Case
    {
        bool irreversible;
        bool yes;
        bool answer;
        const char* printed;
    };
    const Case cases[] = {
        {true, false, true, "Merge without a record?\n(--irreversible) Yes\n"},
        {true, true, true, "Merge without a record?\n(--irreversible) Yes\n"},
        {false, true, false,
         "Merge without a record?\n(--yes) No: this merge would not be reversible; give --irreversible to merge "
         "without a record\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("irreversible ") + (c.irreversible ? "on" : "off") + ", yes "
                     + (c.yes ? "on" : "off"));
        MergeVerbOptions options;
        options.irreversible = c.irreversible;
        options.yes = c.yes;
        TerminalUserInterface ui(options);
        ::testing::internal::CaptureStdout();
        const bool answer = ui.confirmIrreversible(QStringLiteral("Merge without a record?"));
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), c.printed);
        EXPECT_EQ(answer, c.answer);
    }
}

} // namespace
} // namespace kolvix::cli
