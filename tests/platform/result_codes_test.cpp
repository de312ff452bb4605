// The result codes as the core uses them, built against the platform header on both platforms:
// a registry call's LONG and GetLastError()'s DWORD compare with ERROR_* as they are, and an
// HRESULT with a WMI code through Hr, all without casts. Warnings are errors, so that this file
// compiles at all is half the test; the Linux layer must take exactly what the SDK takes.
#include "platform/owners.h"
#include "platform/platform.h"
#include "platform/wbem_status.h"
#include "support/machine_tree.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace {

// The types the SDK gives: ERROR_* are LONG literals (2L), registry calls return LSTATUS, a
// LONG, GetLastError a DWORD; HRESULT is a LONG; the WMI codes form an unsigned enumeration.
static_assert(std::is_same_v<std::remove_cv_t<decltype(ERROR_FILE_NOT_FOUND)>, LONG>);
static_assert(std::is_same_v<LSTATUS, LONG>);
static_assert(std::is_same_v<decltype(RegCloseKey(HKEY{})), LSTATUS>);
static_assert(std::is_same_v<decltype(GetLastError()), DWORD>);
static_assert(std::is_same_v<HRESULT, LONG>);
static_assert(std::is_unsigned_v<std::underlying_type_t<WBEMSTATUS>>);

// Values of codes the core tells apart, as the SDK has them.
static_assert(ERROR_SUCCESS == 0 && ERROR_INVALID_FUNCTION == 1 && ERROR_FILE_NOT_FOUND == 2 &&
              ERROR_ACCESS_DENIED == 5 && ERROR_INVALID_PARAMETER == 87 &&
              ERROR_ENVVAR_NOT_FOUND == 203 && ERROR_NO_TOKEN == 1008);

// Hr gives the failure codes as the negative HRESULTs they are (0x80041002 is -0x7FFBEFFE) and
// the success codes as S_OK and S_FALSE; it takes WMI codes only, not a Win32 error or a number.
static_assert(std::is_same_v<decltype(Hr(WBEM_E_NOT_FOUND)), HRESULT>);
static_assert(Hr(WBEM_E_NOT_FOUND) == -0x7FFBEFFE && FAILED(Hr(WBEM_E_NOT_FOUND)));
static_assert(Hr(WBEM_E_INVALID_CLASS) == -0x7FFBEFF0);
static_assert(Hr(WBEM_E_CONNECTION_FAILED) == -0x7FFBEF8F);
static_assert(Hr(WBEM_S_NO_ERROR) == S_OK && Hr(WBEM_S_FALSE) == S_FALSE);
static_assert(!std::is_invocable_v<decltype(&Hr), decltype(ERROR_FILE_NOT_FOUND)>);
static_assert(!std::is_invocable_v<decltype(&Hr), HRESULT>);

TEST(ResultCodesTest, ARegistryResultComparesWithErrorCodes) {
    const MachineTree machine;  // the Linux store lives under it; unused on Windows
    UniqueKey key;
    const LONG opened = RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                                      L"SOFTWARE\\Vantrel\\CellkeeperTest_ResultCodes_NoSuchKey", 0,
                                      KEY_READ, key.put());
    EXPECT_EQ(opened, ERROR_FILE_NOT_FOUND);
    EXPECT_NE(opened, ERROR_SUCCESS);
}

TEST(ResultCodesTest, TheLastErrorComparesWithErrorCodes) {
    DWORD error = ERROR_SUCCESS;
    SetLastError(ERROR_ACCESS_DENIED);
    error = GetLastError();
    EXPECT_TRUE(error == ERROR_ACCESS_DENIED);
    EXPECT_TRUE(error != ERROR_SUCCESS);
    SetLastError(ERROR_SUCCESS);
    EXPECT_TRUE(GetLastError() == ERROR_SUCCESS);

    // A switch over the last error with the codes as its cases, as the run lock has it.
    SetLastError(ERROR_INVALID_FUNCTION);
    switch (GetLastError()) {
        case ERROR_SUCCESS:
        case ERROR_ACCESS_DENIED:
            ADD_FAILURE() << "another code than the one set";
            break;
        case ERROR_INVALID_FUNCTION:
            break;
        default:
            ADD_FAILURE() << "no code of the switch";
    }
}

// A core-style WMI step: a missing object fails with the WMI code, as an HRESULT.
HRESULT FindObject(bool present) { return present ? S_OK : Hr(WBEM_E_NOT_FOUND); }

TEST(ResultCodesTest, AnHresultComparesWithWmiCodesThroughHr) {
    const HRESULT missing = FindObject(false);
    EXPECT_EQ(missing, Hr(WBEM_E_NOT_FOUND));
    EXPECT_NE(missing, Hr(WBEM_E_INVALID_CLASS));
    EXPECT_TRUE(FAILED(missing));
    EXPECT_EQ(FindObject(true), Hr(WBEM_S_NO_ERROR));
}

}  // namespace
