#include "ui/Commands.h"
#include "FakePlatform.h"

#include <gtest/gtest.h>

namespace quenlith::testing {
namespace {

using Log = std::vector<std::wstring>;

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake.drives = {{L"e:"}};
        fake.AddFile(L"e:\\autorun.inf", FileAttribute::Hidden);
        fake.log = {L"LOG:"}; // as the window starts
    }
    FakePlatform fake;
};

TEST_F(CommandsTest, ClearLeavesOnlyTheHeaderEvenTwiceInARow) {
    cmdscan_Click(fake);
    cmdclear_Click(fake);
    EXPECT_EQ(fake.log, Log{L"LOG:"});
    cmdclear_Click(fake);
    EXPECT_EQ(fake.log, Log{L"LOG:"});
}

TEST_F(CommandsTest, ARunAppendsBelowTheHeaderAndAfterAClear) {
    cmdscan_Click(fake);
    EXPECT_EQ(fake.log, (Log{L"LOG:", L"Autorun Found : e:\\autorun.inf",
                             L"Autorun Deleted : e:\\autorun.inf"}));
    cmdclear_Click(fake);
    cmdscan_Click(fake);
    EXPECT_EQ(fake.log, (Log{L"LOG:", L"Autorun Not Found : e:\\autorun.inf"}));
}

TEST_F(CommandsTest, AboutShowsOnePlainOkBoxTitledWithTheProduct) {
    cmdabout_Click(fake);
    const Log calls = fake.TraceOf(L"ShowMessageBox");
    ASSERT_EQ(calls.size(), 1U);
    EXPECT_TRUE(calls[0].starts_with(L"ShowMessageBox Quenlith 0 Quenlith 1.00 by The Quenlith"));
    EXPECT_EQ(calls[0].find(L'\n'), std::wstring::npos); // one paragraph
    EXPECT_EQ(fake.log, Log{L"LOG:"});
}

TEST_F(CommandsTest, ClearAndAboutPassTheirFailuresOn) {
    fake.FailOn("ClearItems");
    EXPECT_THROW(cmdclear_Click(fake), PlatformError);
    fake.FailOn("ShowMessageBox");
    EXPECT_THROW(cmdabout_Click(fake), PlatformError);
}

} // namespace
} // namespace quenlith::testing
