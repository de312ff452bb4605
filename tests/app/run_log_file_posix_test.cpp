// What stands at the log's name on Linux: a privileged run writes only into a regular file of
// one name, and says so when it refuses.
#include "app/run_log.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

struct UnsafeCase {
    const char* name;
    std::function<void(const fs::path& log, const fs::path& outside)> plant =
        [](const fs::path&, const fs::path&) {};
    const char* refusal = "";
};
using ::PrintTo;

class UnsafeLogTest : public testing::TestWithParam<UnsafeCase> {
  protected:
    UnsafeLogTest() {
        folder_ =
            fs::temp_directory_path() / (std::string("cellkeeper-unsafe-log-") + GetParam().name);
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "log");
        std::ofstream(outside()) << "precious\n";
    }
    ~UnsafeLogTest() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    fs::path log() const { return folder_ / "log" / "cellkeeper-patch.log"; }
    fs::path outside() const { return folder_ / "outside"; }

    fs::path folder_;
};

TEST_P(UnsafeLogTest, IsRefusedWithOneLineAndLeftAlone) {
    GetParam().plant(log(), outside());
    {
        RunLog log(this->log().wstring(), "\n");
        EXPECT_FALSE(log.IsOpen());
        EXPECT_EQ(log.refusal(), "No run log: " + this->log().string() + " " + GetParam().refusal);
        log.WriteLine("written as root");
        log.RotateUnderLock();
    }
    std::ifstream in(outside());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious\n");
    EXPECT_FALSE(fs::exists(log().string() + ".1"));
}

INSTANTIATE_TEST_SUITE_P(
    Plants, UnsafeLogTest,
    testing::Values(
        UnsafeCase{.name = "Symlink",
                   .plant = [](const fs::path& log,
                               const fs::path& outside) { fs::create_symlink(outside, log); },
                   .refusal = "is a link"},
        UnsafeCase{.name = "DanglingSymlink",
                   .plant =
                       [](const fs::path& log, const fs::path& outside) {
                           fs::create_symlink(outside.string() + ".new", log);
                       },
                   .refusal = "is a link"},
        // No reader: a blocking open would wait for ever.
        UnsafeCase{.name = "Fifo",
                   .plant = [](const fs::path& log,
                               const fs::path&) { ASSERT_EQ(mkfifo(log.c_str(), 0600), 0); },
                   .refusal = "is not a regular file"},
        UnsafeCase{.name = "HardLink",
                   .plant = [](const fs::path& log,
                               const fs::path& outside) { fs::create_hard_link(outside, log); },
                   .refusal = "has more than one name (a hard link)"}),
    CaseName());

// Whatever stands at ".1" and is no folder is replaced by the rotation as a name: a link is
// not followed, a FIFO not opened.
TEST(RunLogRotationTest, LinkOrFifoAtTheOlderNameIsReplacedNotFollowed) {
    const fs::path folder = fs::temp_directory_path() / "cellkeeper-rotation-plants";
    for (const bool link : {true, false}) {
        SCOPED_TRACE(link ? "link" : "fifo");
        fs::remove_all(folder);
        fs::create_directories(folder);
        const fs::path log = folder / "cellkeeper-patch.log";
        const fs::path outside = folder / "outside";
        std::ofstream(outside) << "precious\n";
        const fs::path older = log.string() + ".1";
        if (link) {
            fs::create_symlink(outside, older);
        } else {
            ASSERT_EQ(mkfifo(older.c_str(), 0600), 0);
        }
        const std::string old(kRunLogRotateSize + 1, 'x');
        std::ofstream(log, std::ios::binary) << old;
        {
            RunLog runLog(log.wstring(), "\n");
            runLog.RotateUnderLock();
        }
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(older)));
        EXPECT_EQ(fs::file_size(older), old.size());
        std::ifstream in(outside);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious\n");
    }
    fs::remove_all(folder);
}

}  // namespace
