// The registry functions as the system uses them. Runs unchanged against the Linux store and
// against Wine's registry; each test works in a key of its own below SOFTWARE\Vantrel.
#include "platform/owners.h"
#include "platform/platform.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cstring>
#include <string>
#include <vector>

namespace {

using ::PrintTo;

constexpr REGSAM kAllAccess64 = KEY_ALL_ACCESS | KEY_WOW64_64KEY;

std::wstring Widen(const char* text) { return std::wstring(text, text + std::strlen(text)); }

// REG_SZ sizes count UTF-16 bytes with the terminator; the texts here are all in the BMP.
DWORD TextBytes(const std::wstring& text) { return static_cast<DWORD>((text.size() + 1) * 2); }

class RegistryTest : public testing::Test {
  protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        path_ = L"SOFTWARE\\Vantrel\\CellkeeperTest_" + Widen(info->test_suite_name()) + L"_" +
                Widen(info->name());
        for (wchar_t& c : path_) {
            if (c == L'/') c = L'_';
        }
        // A run that crashed earlier may have left the key behind (Wine keeps its registry).
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, path_.c_str());
    }
    void TearDown() override {
        key_.reset();
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, path_.c_str());
    }

    LSTATUS Create(DWORD* disposition = nullptr) {
        return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr,
                               REG_OPTION_NON_VOLATILE, kAllAccess64, nullptr, key_.put(),
                               disposition);
    }
    LSTATUS SetDword(const wchar_t* name, DWORD value) {
        return RegSetValueExW(key_.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                              sizeof value);
    }
    LSTATUS SetQword(const wchar_t* name, ULONGLONG value) {
        return RegSetValueExW(key_.get(), name, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&value),
                              sizeof value);
    }
    LSTATUS SetText(const wchar_t* name, const std::wstring& text) {
        return RegSetValueExW(key_.get(), name, 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()), TextBytes(text));
    }

    MachineTree machine_;  // the Linux store lives under it; unused on Windows
    std::wstring path_;
    UniqueKey key_;
};

TEST_F(RegistryTest, OpeningAMissingKeyFailsWithFileNotFoundAndCreatingItSucceeds) {
    UniqueKey opened;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, kAllAccess64, opened.put()),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(opened.get(), nullptr);

    DWORD disposition = 0;
    ASSERT_EQ(Create(&disposition), ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));

    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, kAllAccess64, opened.put()),
              ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(opened.release()), ERROR_SUCCESS);

    UniqueKey again;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        kAllAccess64, nullptr, again.put(), &disposition),
        ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
}

TEST_F(RegistryTest, KeyNamesIgnoreLetterCase) {
    ASSERT_EQ(Create(), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(L"Status", 7), ERROR_SUCCESS);
    std::wstring shouted = path_;
    for (wchar_t& c : shouted) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    UniqueKey opened;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, shouted.c_str(), 0, KEY_READ, opened.put()),
              ERROR_SUCCESS);
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(
        RegGetValueW(opened.get(), nullptr, L"STATUS", RRF_RT_REG_DWORD, nullptr, &value, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(value, 7u);
}

TEST_F(RegistryTest, NumbersRoundTripWithTheirTypesAndSizes) {
    ASSERT_EQ(Create(), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(L"Status", 0xFFFFFFFFu), ERROR_SUCCESS);
    ASSERT_EQ(SetQword(L"DateRun", 0x0123456789ABCDEFull), ERROR_SUCCESS);

    DWORD status = 0;
    DWORD type = 0;
    DWORD size = sizeof status;
    ASSERT_EQ(RegGetValueW(key_.get(), nullptr, L"Status", RRF_RT_REG_DWORD, &type, &status, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(status, 0xFFFFFFFFu);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(size, 4u);

    ULONGLONG date = 0;
    size = sizeof date;
    ASSERT_EQ(RegGetValueW(key_.get(), nullptr, L"DateRun", RRF_RT_REG_QWORD, &type, &date, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(date, 0x0123456789ABCDEFull);
    EXPECT_EQ(type, static_cast<DWORD>(REG_QWORD));
    EXPECT_EQ(size, 8u);

    // A rewrite replaces the value instead of adding a second one.
    ASSERT_EQ(SetDword(L"STATUS", 3), ERROR_SUCCESS);
    size = sizeof status;
    ASSERT_EQ(
        RegGetValueW(key_.get(), nullptr, L"Status", RRF_RT_REG_DWORD, nullptr, &status, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(status, 3u);
}

struct TextCase {
    const char* name;
    std::wstring text = L"";
};

// Test names carry the case; the bytes of the struct say nothing.

class RegistryTextTest : public RegistryTest, public testing::WithParamInterface<TextCase> {};

TEST_P(RegistryTextTest, TextRoundTripsWithItsUtf16Size) {
    ASSERT_EQ(Create(), ERROR_SUCCESS);
    const std::wstring& text = GetParam().text;
    ASSERT_EQ(SetText(L"SystemModel", text), ERROR_SUCCESS);

    wchar_t buffer[64] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    ASSERT_EQ(
        RegGetValueW(key_.get(), nullptr, L"SystemModel", RRF_RT_REG_SZ, &type, buffer, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, TextBytes(text));
    EXPECT_EQ(std::wstring(buffer), text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RegistryTextTest,
    testing::Values(TextCase{"Plain", L"Vantrel Book 14"}, TextCase{"Empty", L""},
                    TextCase{"QuotesAndBackslashes", L"say \"hi\" to C:\\Temp\\"},
                    TextCase{"NewlineAndTab", L"two\nlines\tand tab"},
                    TextCase{"Accented", L"Caf\u00e9 \u00fcber \u4e2d"},
                    TextCase{"LooksLikeAFileLine", L"\"x\"=dword:00000001"}),
    CaseName());

struct RestrictionCase {
    const char* name;
    DWORD storedType = REG_NONE;  // REG_NONE: no value at all
    DWORD flags = RRF_RT_ANY;
    LSTATUS expected = ERROR_UNSUPPORTED_TYPE;  // the restriction refuses the value's type
};

// Test names carry the case; the bytes of the struct say nothing.

class RegistryRestrictionTest : public RegistryTest,
                                public testing::WithParamInterface<RestrictionCase> {};

// The previous-run check relies on this: a missing value and a value of another type both fail.
TEST_P(RegistryRestrictionTest, TypeRestrictionDecides) {
    ASSERT_EQ(Create(), ERROR_SUCCESS);
    const RestrictionCase& c = GetParam();
    switch (c.storedType) {
        case REG_DWORD:
            ASSERT_EQ(SetDword(L"DateRun", 42), ERROR_SUCCESS);
            break;
        case REG_QWORD:
            ASSERT_EQ(SetQword(L"DateRun", 42), ERROR_SUCCESS);
            break;
        case REG_SZ:
            ASSERT_EQ(SetText(L"DateRun", L"1615881909"), ERROR_SUCCESS);
            break;
        case REG_BINARY: {
            const BYTE bytes[4] = {42, 0, 0, 0};
            ASSERT_EQ(RegSetValueExW(key_.get(), L"DateRun", 0, REG_BINARY, bytes, sizeof bytes),
                      ERROR_SUCCESS);
            break;
        }
        default:
            break;
    }
    BYTE buffer[64] = {};
    DWORD size = sizeof buffer;
    EXPECT_EQ(RegGetValueW(key_.get(), nullptr, L"DateRun", c.flags, nullptr, buffer, &size),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Restrictions, RegistryRestrictionTest,
    testing::Values(
        RestrictionCase{.name = "QwordAsQword",
                        .storedType = REG_QWORD,
                        .flags = RRF_RT_REG_QWORD,
                        .expected = ERROR_SUCCESS},
        RestrictionCase{.name = "DwordAsDword",
                        .storedType = REG_DWORD,
                        .flags = RRF_RT_REG_DWORD,
                        .expected = ERROR_SUCCESS},
        RestrictionCase{
            .name = "MissingAsQword", .flags = RRF_RT_REG_QWORD, .expected = ERROR_FILE_NOT_FOUND},
        RestrictionCase{
            .name = "MissingAsDword", .flags = RRF_RT_REG_DWORD, .expected = ERROR_FILE_NOT_FOUND},
        RestrictionCase{.name = "TextAsQword", .storedType = REG_SZ, .flags = RRF_RT_REG_QWORD},
        RestrictionCase{.name = "TextAsDword", .storedType = REG_SZ, .flags = RRF_RT_REG_DWORD},
        RestrictionCase{.name = "DwordAsQword", .storedType = REG_DWORD, .flags = RRF_RT_REG_QWORD},
        RestrictionCase{.name = "QwordAsDword", .storedType = REG_QWORD, .flags = RRF_RT_REG_DWORD},
        RestrictionCase{.name = "DwordAsText", .storedType = REG_DWORD, .flags = RRF_RT_REG_SZ},
        RestrictionCase{
            .name = "BinaryAsRegDword", .storedType = REG_BINARY, .flags = RRF_RT_REG_DWORD},
        RestrictionCase{.name = "FourBinaryBytesAsDword",
                        .storedType = REG_BINARY,
                        .flags = RRF_RT_DWORD,
                        .expected = ERROR_SUCCESS},
        RestrictionCase{.name = "FourBinaryBytesAsQword",
                        .storedType = REG_BINARY,
                        .flags = RRF_RT_QWORD,
                        .expected = ERROR_DATATYPE_MISMATCH},
        RestrictionCase{.name = "TextAsAny",
                        .storedType = REG_SZ,
                        .flags = RRF_RT_ANY,
                        .expected = ERROR_SUCCESS}),
    CaseName());

TEST_F(RegistryTest, SmallBufferGivesMoreDataAndTheSizeNeeded) {
    ASSERT_EQ(Create(), ERROR_SUCCESS);
    ASSERT_EQ(SetQword(L"DateRun", 1), ERROR_SUCCESS);
    ASSERT_EQ(SetText(L"SystemVendor", L"Vantrel"), ERROR_SUCCESS);

    DWORD half = 0;
    DWORD size = sizeof half;
    EXPECT_EQ(
        RegGetValueW(key_.get(), nullptr, L"DateRun", RRF_RT_REG_QWORD, nullptr, &half, &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, 8u);

    wchar_t text[4] = {};
    size = 4 * 2;  // room for four UTF-16 code units
    EXPECT_EQ(
        RegGetValueW(key_.get(), nullptr, L"SystemVendor", RRF_RT_REG_SZ, nullptr, text, &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, 16u);

    // Without a buffer the call only measures.
    size = 0;
    EXPECT_EQ(
        RegGetValueW(key_.get(), nullptr, L"SystemVendor", RRF_RT_REG_SZ, nullptr, nullptr, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(size, 16u);
}

TEST_F(RegistryTest, ValuesCanBeReadThroughASubkeyName) {
    ASSERT_EQ(Create(), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(L"NumBatteries", 2), ERROR_SUCCESS);
    DWORD value = 0;
    DWORD size = sizeof value;
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, path_.c_str(), L"NumBatteries", RRF_RT_REG_DWORD,
                           nullptr, &value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 2u);
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, (path_ + L"\\Missing").c_str(), L"NumBatteries",
                           RRF_RT_REG_DWORD, nullptr, &value, &size),
              ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, AKeyOpenedForReadingRefusesWrites) {
    ASSERT_EQ(Create(), ERROR_SUCCESS);
    UniqueKey readOnly;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, KEY_READ, readOnly.put()),
              ERROR_SUCCESS);
    const DWORD value = 1;
    EXPECT_EQ(RegSetValueExW(readOnly.get(), L"Status", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_ACCESS_DENIED);
}

TEST_F(RegistryTest, ClosedAndDeletedKeysAreReportedNotUsed) {
    ASSERT_EQ(Create(), ERROR_SUCCESS);
    UniqueKey second;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, kAllAccess64, second.put()),
              ERROR_SUCCESS);
    const HKEY closed = second.release();
    ASSERT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
    const DWORD value = 1;
    EXPECT_EQ(RegSetValueExW(closed, L"Status", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof value),
              ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(closed), ERROR_INVALID_HANDLE);

    ASSERT_EQ(RegDeleteTreeW(HKEY_LOCAL_MACHINE, path_.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(L"Status", 1), ERROR_KEY_DELETED);
    DWORD status = 0;
    DWORD size = sizeof status;
    EXPECT_EQ(
        RegGetValueW(key_.get(), nullptr, L"Status", RRF_RT_REG_DWORD, nullptr, &status, &size),
        ERROR_KEY_DELETED);
}

TEST_F(RegistryTest, LeadingBackslashIsABadPath) {
    UniqueKey opened;
    EXPECT_EQ(
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, (L"\\" + path_).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, kAllAccess64, nullptr, opened.put(), nullptr),
        ERROR_BAD_PATHNAME);
    EXPECT_EQ(opened.get(), nullptr);
}

}  // namespace
