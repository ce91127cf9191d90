// Run with the sandbox seeded by seed-link.sh: e:\autorun.inf is a symbolic link to
// d:\precious.inf. Whatever the platform makes of links, the target is never deleted.
#include "WineSupport.h"
#include "scan/ScanRun.h"

#include <gtest/gtest.h>

#include <fstream>

namespace quenlith::testing {
namespace {

TEST(LinkTest, ALinkNamedAutorunInfNeverTakesItsTargetWithIt) {
    ASSERT_NE(AttributesOf(L"e:\\autorun.inf"), INVALID_FILE_ATTRIBUTES) << "not seeded";
    const ComApartment apartment;
    const HiddenControls controls;
    Win32Platform platform{controls.get()};

    ScanAndRemove(platform);

    std::ifstream target("d:\\precious.inf");
    std::string text;
    std::getline(target, text);
    EXPECT_EQ(text, "keep me");

    // Windows deletes the link itself; Wine resolves every link it opens, so there the
    // link stays and is only reported found. The log says exactly what happened.
    const bool linkGone = AttributesOf(L"e:\\autorun.inf") == INVALID_FILE_ATTRIBUTES;
    std::vector<std::wstring> expected = {L"Autorun Not Found : c:\\autorun.inf",
                                          L"Autorun Not Found : d:\\autorun.inf",
                                          L"Autorun Found : e:\\autorun.inf"};
    if (linkGone) {
        expected.emplace_back(L"Autorun Deleted : e:\\autorun.inf");
    }
    expected.emplace_back(L"Autorun Not Found : f:\\autorun.inf");
    EXPECT_EQ(ListItems(controls.get().log), expected);
}

} // namespace
} // namespace quenlith::testing
