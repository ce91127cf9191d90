#include "WineSupport.h"

#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv) {
    // The same program doubles as the other process that holds a file open.
    if (argc == 5 && std::wstring(argv[1]) == L"--hold-open") {
        return quenlith::testing::HoldOpen(argv[2], argv[3], argv[4]);
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
