#include "WineSupport.h"

#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv) {
    // The same program doubles as the other process that holds a file open.
    if (argc == 5 && std::wstring_view(argv[1]).starts_with(quenlith::testing::kHoldOpen)) {
        return quenlith::testing::HoldOpen(argv[1], argv[2], argv[3], argv[4]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
