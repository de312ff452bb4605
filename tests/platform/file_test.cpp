// The file calls of the run log, pinned to what Windows does: appending handles, the error codes
// of a missing folder, a folder and a missing file, and renames over an existing file.
#include "platform/platform.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

namespace {

namespace fs = std::filesystem;

class FileHandle {
  public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE Open(const fs::path& path, DWORD disposition) {
    return CreateFileW(path.wstring().c_str(), FILE_APPEND_DATA, kShareAll, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool Write(HANDLE file, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) !=
               FALSE &&
           written == bytes.size();
}

class FileTest : public testing::Test {
  protected:
    FileTest() {
        folder_ = fs::temp_directory_path() /
                  (std::string("cellkeeper-file-") +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    ~FileTest() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    static std::string Read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path folder_;
};

TEST_F(FileTest, AppendingHandlesWriteAtTheEndOfWhatIsThere) {
    const fs::path file = folder_ / "log";
    FileHandle first(Open(file, OPEN_ALWAYS));
    FileHandle second(Open(file, OPEN_ALWAYS));
    ASSERT_NE(first.get(), INVALID_HANDLE_VALUE);
    ASSERT_NE(second.get(), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(Write(first.get(), "one\n"));
    EXPECT_TRUE(Write(second.get(), "two\n"));
    EXPECT_TRUE(Write(first.get(), "three\n"));
    LARGE_INTEGER size{};
    ASSERT_NE(GetFileSizeEx(second.get(), &size), FALSE);
    EXPECT_EQ(size.QuadPart, 14);
    EXPECT_EQ(Read(file), "one\ntwo\nthree\n");
}

struct OpenErrorCase {
    const char* name;
    const char* relative = "";  // under the test's folder; "" is the folder itself
    DWORD disposition = OPEN_ALWAYS;
    DWORD error = ERROR_SUCCESS;
};
using ::PrintTo;

class OpenErrorTest : public FileTest, public testing::WithParamInterface<OpenErrorCase> {};

TEST_P(OpenErrorTest, FailsWithTheWindowsCode) {
    SetLastError(ERROR_SUCCESS);
    FileHandle file(Open(folder_ / GetParam().relative, GetParam().disposition));
    EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenErrorTest,
    testing::Values(OpenErrorCase{.name = "MissingFolder",
                                  .relative = "missing/log",
                                  .error = ERROR_PATH_NOT_FOUND},
                    OpenErrorCase{.name = "Folder", .relative = "", .error = ERROR_ACCESS_DENIED},
                    OpenErrorCase{.name = "MissingFile",
                                  .relative = "log",
                                  .disposition = OPEN_EXISTING,
                                  .error = ERROR_FILE_NOT_FOUND}),
    CaseName());

TEST_F(FileTest, MoveReplacesOnlyWhenAsked) {
    const fs::path from = folder_ / "log";
    const fs::path to = folder_ / "log.1";
    std::ofstream(from, std::ios::binary) << "new";
    std::ofstream(to, std::ios::binary) << "old";
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(MoveFileExW(from.wstring().c_str(), to.wstring().c_str(), 0), FALSE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(Read(to), "old");
    EXPECT_NE(MoveFileExW(from.wstring().c_str(), to.wstring().c_str(), MOVEFILE_REPLACE_EXISTING),
              FALSE);
    EXPECT_EQ(Read(to), "new");
    EXPECT_FALSE(fs::exists(from));
}

}  // namespace
