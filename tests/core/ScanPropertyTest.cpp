// Ten thousand scan runs over random drive lists, entry texts, files and failures of any kind
// injected into any operation: whatever fails, the log keeps its shape and nothing is left
// alive; where nothing fails, the log is exactly the one a model of the run predicts.
#include "FakePlatform.h"
#include "scan/ScanRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

namespace quenlith::testing {
namespace {

using enum FileAttribute;

constexpr int kRuns = 10000;

struct Line {
    std::wstring_view prefix;
    std::wstring path;
};

// Splits a log entry into one of the three forms; an empty prefix means none fits.
Line Parse(const std::wstring& entry) {
    for (const std::wstring_view prefix : {kFoundPrefix, kDeletedPrefix, kNotFoundPrefix}) {
        if (entry.starts_with(prefix)) {
            return {prefix, entry.substr(prefix.size())};
        }
    }
    return {};
}

class RandomWorld {
public:
    explicit RandomWorld(std::uint32_t seed) : rng_(seed) {}

    // Returns the rate at which calls fail: none in about a third of the runs.
    double Fill(FakePlatform& fake) {
        const int drives = Pick(0, 8);
        for (int i = 0; i < drives; ++i) {
            std::wstring entry{static_cast<wchar_t>(L'c' + i), L':'};
            if (Chance(0.2)) {
                entry += L" [LABEL " + std::to_wstring(i) + L"]";
            }
            const auto state = static_cast<DriveState>(Pick(0, 2));
            fake.drives.push_back({entry, state, Chance(0.1)});
            const std::wstring path = entry + L"\\autorun.inf";
            switch (Pick(0, 4)) {
            case 0:
                break;
            case 1:
                fake.AddFile(path, Normal);
                break;
            case 2:
                fake.AddFile(path, Hidden | System | ReadOnly);
                break;
            case 3:
                fake.AddFile(path, Directory | Hidden);
                break;
            default:
                fake.AddFile(path, Hidden | Archive);
                fake.locked.insert(path);
                break;
            }
        }
        const double failureRate =
            Chance(0.3) ? 0.0 : std::uniform_real_distribution(0.0, 0.4)(rng_);
        fake.fail = [this, failureRate](std::string_view, std::wstring_view) {
            return Chance(failureRate);
        };
        fake.outOfMemory = Chance(0.3);
        return failureRate;
    }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution(low, high)(rng_); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
    std::mt19937 rng_;
};

// The log of a run in which nothing fails: each ready drive in list order, "Not Found" where
// there is no file (a folder is none), else "Found", then "Deleted" unless the stick is
// write-protected or another program holds the file.
std::vector<std::wstring> Predicted(const FakePlatform& fake,
                                    const decltype(FakePlatform::files)& filesBefore) {
    std::vector<std::wstring> log;
    for (const FakeDrive& drive : fake.drives) {
        if (drive.state != DriveState::DriveReady) {
            continue;
        }
        const std::wstring path = drive.entry + L"\\autorun.inf";
        const auto file = filesBefore.find(path);
        if (file == filesBefore.end() || HasAny(file->second, Directory)) {
            log.push_back(std::wstring(kNotFoundPrefix) + path);
            continue;
        }
        log.push_back(std::wstring(kFoundPrefix) + path);
        if (!drive.writeProtected && !fake.locked.contains(path)) {
            log.push_back(std::wstring(kDeletedPrefix) + path);
        }
    }
    return log;
}

TEST(ScanProperty, AnyFailureLeavesAWellFormedLogAndNothingAlive) {
    RandomWorld world(20261207);
    for (int run = 0; run < kRuns; ++run) {
        FakePlatform fake;
        const double failureRate = world.Fill(fake);
        const auto filesBefore = fake.files;
        std::map<std::wstring, std::size_t> indexOf; // target path -> drive list index
        for (std::size_t i = 0; i < fake.drives.size(); ++i) {
            indexOf[fake.drives[i].entry + L"\\autorun.inf"] = i;
        }

        ScanAndRemove(fake);
        SCOPED_TRACE("run " + std::to_string(run));

        ASSERT_EQ(fake.servicesAlive, 0);
        ASSERT_EQ(fake.driveObjectsAlive, 0);

        // What reached the log is exactly the appends that succeeded, in order: a failed
        // append loses that entry alone.
        std::vector<std::wstring> appended;
        std::vector<std::wstring> attempted;
        for (const std::wstring& call : fake.TraceOf(L"AppendItem ")) {
            const std::wstring text = call.substr(11);
            if (text.ends_with(L" !")) {
                attempted.push_back(text.substr(0, text.size() - 2));
            } else {
                attempted.push_back(text);
                appended.push_back(text);
            }
        }
        ASSERT_EQ(fake.log, appended);
        if (failureRate == 0.0) {
            ASSERT_EQ(fake.log, Predicted(fake, filesBefore));
        }

        std::size_t lastIndex = 0;
        for (std::size_t k = 0; k < attempted.size(); ++k) {
            const Line line = Parse(attempted[k]);
            ASSERT_FALSE(line.prefix.empty()) << "not one of the three forms";
            ASSERT_TRUE(indexOf.contains(line.path));
            const DriveState state = fake.drives[indexOf[line.path]].state;
            ASSERT_EQ(state, DriveState::DriveReady);
            // A drive's entries stand together, drives in list order.
            ASSERT_GE(indexOf[line.path], lastIndex);
            lastIndex = indexOf[line.path];

            if (line.prefix == kDeletedPrefix) {
                ASSERT_GT(k, 0U);
                const Line before = Parse(attempted[k - 1]);
                ASSERT_EQ(before.prefix, kFoundPrefix);
                ASSERT_EQ(before.path, line.path);
                ASSERT_TRUE(filesBefore.contains(line.path));
                ASSERT_FALSE(fake.HasFile(line.path));
            }
            if (line.prefix == kFoundPrefix) {
                // Only a file that was there, never a folder, is ever reported found.
                const auto file = filesBefore.find(line.path);
                ASSERT_TRUE(file != filesBefore.end() && !HasAny(file->second, Directory));
            }
            if (line.prefix == kNotFoundPrefix) {
                // Only a missing target or a folder is ever reported as not found.
                const auto file = filesBefore.find(line.path);
                ASSERT_TRUE(file == filesBefore.end() || HasAny(file->second, Directory));
            }
        }

        // Nothing is ever deleted without its deleted entry being attempted, and folders stay.
        for (const auto& [path, attributes] : filesBefore) {
            if (!fake.HasFile(path)) {
                ASSERT_FALSE(HasAny(attributes, Directory));
                ASSERT_NE(std::find(attempted.begin(), attempted.end(),
                                    std::wstring(kDeletedPrefix) + path),
                          attempted.end());
            }
        }
    }
}

} // namespace
} // namespace quenlith::testing
