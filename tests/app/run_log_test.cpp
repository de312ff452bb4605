// The run log file itself, on both platforms: line layout, appending, rotation and a place that
// cannot hold a log.
#include "app/run_log.h"
#include "record/run_date.h"
#include "support/machine_tree.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace {

namespace fs = std::filesystem;

struct LogTimeCase {
    const char* name;
    std::int64_t seconds = 0;
    const char* text = "";
};
using ::PrintTo;

class LogTimeTest : public testing::TestWithParam<LogTimeCase> {};

TEST_P(LogTimeTest, IsIso8601InUtc) {
    EXPECT_EQ(FormatUtcTime(GetParam().seconds), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogTimeTest,
    testing::Values(
        LogTimeCase{.name = "Epoch", .seconds = 0, .text = "1970-01-01T00:00:00Z"},
        LogTimeCase{.name = "Morning", .seconds = 1796894043, .text = "2026-12-10T09:14:03Z"},
        LogTimeCase{
            .name = "LeapDayLastSecond", .seconds = 1709251199, .text = "2024-02-29T23:59:59Z"},
        LogTimeCase{.name = "NewYear", .seconds = 1767225600, .text = "2026-01-01T00:00:00Z"}),
    CaseName());

// A folder of its own for each test, removed afterwards.
class RunLogTest : public testing::Test {
  protected:
    RunLogTest() {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() / (std::string("cellkeeper-run-log-") + info->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    ~RunLogTest() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path File(const char* name = "cellkeeper-patch.log") const { return folder_ / name; }

    static std::string Read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void Write(const fs::path& file, const std::string& bytes) {
        std::ofstream out(file, std::ios::binary);
        out << bytes;
    }

    fs::path folder_;
};

const std::regex kTimedLine(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ (.*))");

TEST_F(RunLogTest, AppendsTimedLinesToWhatIsThere) {
    Write(File(), "earlier line\n");
    {
        RunLog log(File().wstring(), "\r\n");
        ASSERT_TRUE(log.IsOpen());
        log.WriteLine("first");
        log.WriteLine("Sch\xC3\xB6n, with\ta tab\nand a line feed");
        log.WriteLine("");
    }
    const std::string text = Read(File());
    ASSERT_TRUE(text.starts_with("earlier line\n")) << text;
    std::string rest = text.substr(13);
    std::vector<std::string> lines;
    for (std::size_t end; (end = rest.find("\r\n")) != std::string::npos;) {
        lines.push_back(rest.substr(0, end));
        rest.erase(0, end + 2);
    }
    EXPECT_EQ(rest, "") << "a line without its end";
    ASSERT_EQ(lines.size(), 3u) << text;
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[0], match, kTimedLine)) << lines[0];
    EXPECT_EQ(match[1], "first");
    // Control characters would split one event over lines.
    ASSERT_TRUE(std::regex_match(lines[1], match, kTimedLine)) << lines[1];
    EXPECT_EQ(match[1], "Sch\xC3\xB6n, with?a tab?and a line feed");
    EXPECT_TRUE(std::regex_match(lines[2], std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")))
        << lines[2];
}

struct OneLineCase {
    const char* name;
    std::string text = "";
    std::string written = "";
};

class OneLineTest : public RunLogTest, public testing::WithParamInterface<OneLineCase> {};

// Readers that honour C1 controls or the Unicode separators, and readers that take the bytes for
// another encoding, would split an event over lines or run terminal commands.
TEST_P(OneLineTest, EveryLineBreakerBecomesAQuestionMark) {
    {
        RunLog log(File().wstring(), "\n");
        log.WriteLine("<" + GetParam().text + ">");
    }
    const std::string text = Read(File());
    std::smatch match;
    ASSERT_TRUE(std::regex_match(text, match, std::regex(R"(\S+ (.*)\n)"))) << text;
    EXPECT_EQ(match[1], "<" + GetParam().written + ">");
}

INSTANTIATE_TEST_SUITE_P(
    Characters, OneLineTest,
    testing::Values(
        OneLineCase{.name = "NextLine",
                    .text = "a\xC2\x85"
                            "b",
                    .written = "a?b"},
        OneLineCase{.name = "ControlSequenceIntroducer",
                    .text = "\xC2\x9B"
                            "2J",
                    .written = "?2J"},
        OneLineCase{.name = "FirstC1", .text = "\xC2\x80", .written = "?"},
        OneLineCase{.name = "Delete", .text = "\x7F", .written = "?"},
        OneLineCase{.name = "LineSeparator",
                    .text = "a\xE2\x80\xA8"
                            "b",
                    .written = "a?b"},
        OneLineCase{.name = "ParagraphSeparator", .text = "\xE2\x80\xA9", .written = "?"},
        OneLineCase{.name = "StrayByteOfNextLine",
                    .text = "a\x85"
                            "b",
                    .written = "a?b"},
        OneLineCase{.name = "OverlongLineFeed", .text = "\xC0\x8A", .written = "??"},
        OneLineCase{.name = "TruncatedSeparator", .text = "\xE2\x80", .written = "??"},
        OneLineCase{.name = "Surrogate", .text = "\xED\xA0\x80", .written = "???"},
        OneLineCase{.name = "PastUnicode", .text = "\xF4\x90\x80\x80", .written = "????"},
        // Text that only looks near them stays as it is.
        OneLineCase{.name = "NoBreakSpace", .text = "\xC2\xA0", .written = "\xC2\xA0"},
        OneLineCase{.name = "HyphenationPoint", .text = "\xE2\x80\xA7", .written = "\xE2\x80\xA7"},
        OneLineCase{.name = "FourBytes", .text = "\xF0\x9F\x94\x8B", .written = "\xF0\x9F\x94\x8B"},
        OneLineCase{
            .name = "LastCodePoint", .text = "\xF4\x8F\xBF\xBF", .written = "\xF4\x8F\xBF\xBF"}),
    CaseName());

TEST_F(RunLogTest, CreatesAMissingFile) {
    {
        RunLog log(File().wstring(), "\n");
        log.WriteLine("only");
    }
    EXPECT_TRUE(std::regex_match(Read(File()), std::regex(R"(\S+ only\n)")));
}

struct RotationCase {
    const char* name;
    std::size_t size = 0;
    bool rotates = false;
};

class RotationTest : public RunLogTest, public testing::WithParamInterface<RotationCase> {};

TEST_P(RotationTest, MovesALargeFileAsideUnderTheLock) {
    const std::string old(GetParam().size, 'x');
    Write(File(), old);
    Write(File("cellkeeper-patch.log.1"), "older still");
    {
        RunLog log(File().wstring(), "\n");
        // Lines before the lock wait for the new file.
        log.WriteLine("new run");
        log.RotateUnderLock();
    }
    const std::string current = Read(File());
    if (GetParam().rotates) {
        EXPECT_EQ(Read(File("cellkeeper-patch.log.1")), old);
        EXPECT_TRUE(std::regex_match(current, std::regex(R"(\S+ new run\n)"))) << current.size();
    } else {
        EXPECT_EQ(Read(File("cellkeeper-patch.log.1")), "older still");
        EXPECT_TRUE(current.starts_with(old));
        EXPECT_TRUE(current.ends_with(" new run\n"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, RotationTest,
    testing::Values(RotationCase{.name = "Small", .size = 10, .rotates = false},
                    RotationCase{.name = "ExactlyOneMebibyte", .size = 1048576, .rotates = false},
                    RotationCase{.name = "PastOneMebibyte", .size = 1048577, .rotates = true}),
    CaseName());

// A folder at ".1" cannot be replaced by a rename: the log is emptied in its place, with a line
// that says so, and stays within its size on every later run too.
TEST_F(RunLogTest, FolderInTheWayOfTheRotationEmptiesTheLogInstead) {
    fs::create_directories(File("cellkeeper-patch.log.1") / "inside");
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        Write(File(), std::string(kRunLogRotateSize + 1, 'x'));
        {
            RunLog log(File().wstring(), "\n");
            log.WriteLine("new run");
            log.RotateUnderLock();
            log.WriteLine("after the lock");
        }
        const std::string current = Read(File());
        EXPECT_TRUE(std::regex_match(
            current,
            std::regex(R"(\S+ run log emptied: .*cellkeeper-patch\.log\.1 cannot be )"
                       R"(replaced to keep the older lines\n\S+ new run\n\S+ after the lock\n)")))
            << current.substr(0, 300);
        EXPECT_TRUE(fs::is_directory(File("cellkeeper-patch.log.1") / "inside"));
    }
}

TEST_F(RunLogTest, WithoutTheLockALargeFileOnlyGrows) {
    const std::string old(kRunLogRotateSize + 1, 'x');
    Write(File(), old);
    {
        RunLog log(File().wstring(), "\n");
        log.WriteLine("busy run");
    }
    EXPECT_FALSE(fs::exists(File("cellkeeper-patch.log.1")));
    const std::string current = Read(File());
    EXPECT_TRUE(current.starts_with(old));
    EXPECT_TRUE(current.ends_with(" busy run\n"));
}

TEST_F(RunLogTest, TwoRunsThatFindALargeFileRotateItOnce) {
    const std::string old(kRunLogRotateSize + 1, 'x');
    Write(File(), old);
    RunLog first(File().wstring(), "\n");
    RunLog second(File().wstring(), "\n");
    first.WriteLine("first");
    first.RotateUnderLock();
    // The second run gets the lock after the first: its file is no longer at the name.
    second.WriteLine("second");
    second.RotateUnderLock();
    EXPECT_EQ(Read(File("cellkeeper-patch.log.1")), old);
    EXPECT_TRUE(std::regex_match(Read(File()), std::regex(R"(\S+ first\n\S+ second\n)")))
        << Read(File()).size();
}

TEST_F(RunLogTest, NoPlaceMeansNoLog) {
    for (const std::wstring& path :
         {std::wstring(), (folder_ / "missing" / "cellkeeper-patch.log").wstring(),
          folder_.wstring()}) {
        RunLog log(path, "\n");
        EXPECT_FALSE(log.IsOpen());
        log.WriteLine("lost");
    }
    EXPECT_FALSE(fs::exists(folder_ / "missing"));
    EXPECT_TRUE(fs::is_empty(folder_));
}

}  // namespace
