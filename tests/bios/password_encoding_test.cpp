#include "bios/bios_config_client.h"

#include "bios/named_texts.h"
#include "support/table_case.h"
#include "vendor_bios.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

namespace {

using ::PrintTo;

using ::testing::IsEmpty;
using ::testing::SizeIs;

class PasswordEncodingTest : public VendorBiosTest {};

// What the firmware declares about UTF-16 passwords, and the form an empty password takes.
struct EncodingsCase {
    const char* name;
    std::function<Variant()> encodings = [] { return Variant::Null(); };
    const wchar_t* emptyPassword = L"<kbd/>";  // the empty password as encoded
};

class SupportedEncodingsTest : public PasswordEncodingTest,
                               public testing::WithParamInterface<EncodingsCase> {};

TEST_P(SupportedEncodingsTest, DecidesPasswordForm) {
    AddPasswordEncodings(GetParam().encodings());
    BiosConfigClient client;
    EXPECT_EQ(client.EncodePassword(L""), GetParam().emptyPassword);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, SupportedEncodingsTest,
    testing::Values(EncodingsCase{.name = "Utf16Listed",
                                  .encodings =
                                      [] {
                                          return Variant::Strings({L"kbd", L"utf-16"});
                                      },
                                  .emptyPassword = L"<utf-16/>"},
                    EncodingsCase{.name = "OnlyCapitals",
                                  .encodings =
                                      [] {
                                          return Variant::Strings({L"kbd", L"UTF-16"});
                                      }},
                    EncodingsCase{.name = "AfterEmptyEntry",
                                  .encodings =
                                      [] {
                                          return Variant::Strings({L"kbd", L"", L"utf-16"});
                                      }},
                    EncodingsCase{.name = "AfterBlankEntry",
                                  .encodings =
                                      [] {
                                          return Variant::Strings({L"kbd", L"  ", L"utf-16"});
                                      }},
                    EncodingsCase{.name = "PaddedName",
                                  .encodings = [] { return Variant::Strings({L" utf-16"}); }},
                    EncodingsCase{.name = "Null", .encodings = [] { return Variant::Null(); }},
                    EncodingsCase{.name = "NotAList",
                                  .encodings = [] { return Variant::String(L"utf-16"); }}),
    CaseName());

TEST_F(PasswordEncodingTest, NoPasswordInstanceMeansNoWithoutAskingForEncodings) {
    vendor.Add(WbemObjectBuilder(L"Vantrel_BIOSSetting")
                   .Set(L"Name", kSetupPasswordSetting)
                   .Set(kSupportedEncodingProperty, std::vector<std::wstring>{L"utf-16"}));
    BiosConfigClient client;
    wmi.ClearCalls();
    EXPECT_EQ(client.EncodePassword(L""), L"<kbd/>");
    EXPECT_THAT(wmi.CallsStartingWith("CreateInstanceEnum Vantrel_BIOSPassword"), SizeIs(1));
    EXPECT_THAT(wmi.CallsStartingWith("ExecQuery"), IsEmpty());
}

TEST_F(PasswordEncodingTest, MissingSetupPasswordSettingMeansNo) {
    vendor.Add(WbemObjectBuilder(kPasswordClass).Set(L"Name", kSetupPasswordSetting));
    BiosConfigClient client;
    EXPECT_EQ(client.EncodePassword(L""), L"<kbd/>");
}

TEST_F(PasswordEncodingTest, AnswerIsAskedOnceAndKeptForTheProcess) {
    AddPasswordEncodings(Variant::Strings({L"utf-16"}));
    {
        BiosConfigClient first;
        EXPECT_TRUE(first.SupportsUtf16Passwords());
    }
    wmi.ClearCalls();
    // Even a firmware that stops listing UTF-16 does not change the answer of this process.
    vendor.SetProperty(L"Vantrel_BIOSSetting", kSupportedEncodingProperty,
                       Variant::Strings({L"kbd"}),
                       static_cast<CIMTYPE>(CIM_STRING | CIM_FLAG_ARRAY));
    BiosConfigClient second;
    wmi.ClearCalls();
    EXPECT_TRUE(second.SupportsUtf16Passwords());
    EXPECT_EQ(second.EncodePassword(L"secret"), L"<utf-16/>secret");
    EXPECT_THAT(wmi.Calls(), IsEmpty());
}

TEST_F(PasswordEncodingTest, FailedQuestionIsAlsoKept) {
    BiosConfigClient client;
    EXPECT_FALSE(client.SupportsUtf16Passwords());
    AddPasswordEncodings(Variant::Strings({L"utf-16"}));
    wmi.ClearCalls();
    EXPECT_FALSE(client.SupportsUtf16Passwords());
    EXPECT_THAT(wmi.Calls(), IsEmpty());
}

TEST_F(PasswordEncodingTest, BeamMarkerPassesUnchangedOnlyWithUtf16) {
    AddPasswordEncodings(Variant::Strings({L"utf-16"}));
    BiosConfigClient client;
    EXPECT_EQ(client.EncodePassword(L"x<BEAM/>y"), L"x<BEAM/>y");
    EXPECT_EQ(client.EncodePassword(L"x<beam/>y"), L"<utf-16/>x<beam/>y");
}

TEST_F(PasswordEncodingTest, BeamMarkerIsKeyboardEncodedWithoutUtf16) {
    AddPasswordEncodings(Variant::Strings({L"kbd"}));
    BiosConfigClient client;
    EXPECT_EQ(client.EncodePassword(L"<BEAM/>"), L"<kbd/>3c4245414d2f3e");
}

struct KeyboardCase {
    const char* name;
    std::wstring password = L"";
    const wchar_t* encoded = L"";
};

class KeyboardFormTest : public PasswordEncodingTest,
                         public testing::WithParamInterface<KeyboardCase> {};

TEST_P(KeyboardFormTest, EachUtf16CodeUnitIsTwoOrMoreHexDigits) {
    BiosConfigClient client;  // no password facts: the keyboard form
    EXPECT_EQ(client.EncodePassword(GetParam().password), GetParam().encoded);
}

INSTANTIATE_TEST_SUITE_P(
    Passwords, KeyboardFormTest,
    testing::Values(
        KeyboardCase{.name = "Empty", .password = L"", .encoded = L"<kbd/>"},
        KeyboardCase{.name = "TwoLetters", .password = L"ab", .encoded = L"<kbd/>6162"},
        KeyboardCase{.name = "LowerCaseDigits", .password = L"Z~", .encoded = L"<kbd/>5a7e"},
        KeyboardCase{
            .name = "BelowSixteenIsSpacePadded", .password = L"\t1", .encoded = L"<kbd/> 931"},
        KeyboardCase{.name = "Latin1", .password = L"\u00e9", .encoded = L"<kbd/>e9"},
        KeyboardCase{.name = "ThreeDigits", .password = L"\u0100", .encoded = L"<kbd/>100"},
        KeyboardCase{.name = "FourDigits", .password = L"\u20ac", .encoded = L"<kbd/>20ac"},
        KeyboardCase{
            .name = "SurrogatePair", .password = L"\U0001F600", .encoded = L"<kbd/>d83dde00"}),
    CaseName());

}  // namespace
