// The setup password's text and the Windows rule for its file, on both platforms.
#include "app/setup_password.h"
#include "support/table_case.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TextCase {
    const char* name;
    std::string bytes;
    std::wstring password = L"";  // empty: refused
    std::string refusal = "";     // the reason's start, when refused
};
using ::PrintTo;

class DecodePasswordTextTest : public testing::TestWithParam<TextCase> {};

TEST_P(DecodePasswordTextTest, TakesOneLineOfTextAndNothingElse) {
    const TextCase& c = GetParam();
    std::string refusal;
    const SecretText password = DecodePasswordText(c.bytes, refusal);
    EXPECT_EQ(password.text(), c.password);
    EXPECT_TRUE(refusal.starts_with(c.refusal)) << refusal;
    EXPECT_EQ(refusal.empty(), c.refusal.empty()) << refusal;
    // A refusal never says what the text was.
    EXPECT_EQ(refusal.find("S3cret"), std::string::npos) << refusal;
}

// `text` as UTF-16 with its byte order mark.
std::string Utf16(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const auto high = static_cast<char>(unit >> 8);
        const auto low = static_cast<char>(unit & 0xFF);
        bytes.push_back(bigEndian ? high : low);
        bytes.push_back(bigEndian ? low : high);
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DecodePasswordTextTest,
    testing::Values(
        TextCase{.name = "Utf8Line", .bytes = "S3cret!\n", .password = L"S3cret!"},
        TextCase{.name = "Utf8WithoutLineEnd", .bytes = "S3cret!", .password = L"S3cret!"},
        TextCase{.name = "Utf8CrLf", .bytes = "S3cret!\r\n", .password = L"S3cret!"},
        TextCase{.name = "Utf8Bom",
                 .bytes = "\xEF\xBB\xBFS3cret\xC3\xA9\n",
                 .password = L"S3cret\u00E9"},
        TextCase{.name = "BlanksAreKept", .bytes = " S3cret \n", .password = L" S3cret "},
        TextCase{.name = "Utf16LeBom",
                 .bytes = Utf16(u"S3cret\u00E9\r\n", false),
                 .password = L"S3cret\u00E9"},
        TextCase{.name = "Utf16BeBom", .bytes = Utf16(u"S3cret", true), .password = L"S3cret"},
        TextCase{.name = "Longest",
                 .bytes = std::string(128, 'x') + "\n",
                 .password = std::wstring(128, L'x')},
        TextCase{.name = "TooLong",
                 .bytes = std::string(129, 'x') + "\n",
                 .refusal = "holds a password longer than 128"},
        TextCase{.name = "Empty", .bytes = "", .refusal = "holds no password"},
        TextCase{.name = "LineEndOnly", .bytes = "\n", .refusal = "holds no password"},
        TextCase{.name = "BomOnly", .bytes = "\xEF\xBB\xBF", .refusal = "holds no password"},
        TextCase{.name = "TwoLines", .bytes = "S3cret\nmore\n", .refusal = "holds more than one"},
        TextCase{.name = "EmptySecondLine", .bytes = "S3cret\n\n", .refusal = "holds more than"},
        TextCase{.name = "Nul", .bytes = std::string("S3c\0ret\n", 8), .refusal = "holds a NUL"},
        TextCase{.name = "NotUtf8", .bytes = "S3cret\xE9\n", .refusal = "is not UTF-8"},
        TextCase{.name = "Utf16OddLength", .bytes = "\xFF\xFEx", .refusal = "is not UTF-8"},
        TextCase{.name = "Utf16LoneSurrogate",
                 .bytes = Utf16(u"S3\xD800"
                                u"cret",
                                false),
                 .refusal = "is not UTF-8"}),
    CaseName());

struct FileCase {
    const char* name;
    std::uint32_t attributes = 0x20;  // FILE_ATTRIBUTE_ARCHIVE: a plain file
    std::uint32_t links = 1;
    bool ownerTrusted = true;
    bool othersHaveAccess = false;
    std::string refusal = "";
};

class PasswordFileRefusalTest : public testing::TestWithParam<FileCase> {};

TEST_P(PasswordFileRefusalTest, TrustsOnlyAFileOfTheAdministrators) {
    const FileCase& c = GetParam();
    EXPECT_EQ(PasswordFileRefusal(c.attributes, c.links, c.ownerTrusted, c.othersHaveAccess),
              c.refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PasswordFileRefusalTest,
    testing::Values(
        FileCase{.name = "AdministratorsOnly"},
        FileCase{.name = "ReparsePoint", .attributes = 0x420, .refusal = "is a link"},
        FileCase{.name = "Folder", .attributes = 0x10, .refusal = "is not a regular file"},
        FileCase{.name = "HardLink", .links = 2, .refusal = "has more than one name (a hard link)"},
        FileCase{.name = "UsersOwner",
                 .ownerTrusted = false,
                 .refusal = "is not owned by SYSTEM, Administrators or this account"},
        FileCase{.name = "UsersMayRead",
                 .othersHaveAccess = true,
                 .refusal = "gives users other than SYSTEM and Administrators access to it"}),
    CaseName());

TEST(ReadSetupPasswordTest, NoSourceIsNoPasswordAndNoRefusal) {
    const PasswordReading reading = ReadSetupPassword({});
    EXPECT_TRUE(reading.password.empty());
    EXPECT_TRUE(reading.refusal.empty());
}

TEST(ReadSetupPasswordTest, AFileThatIsNotThereIsNamedWithItsReason) {
    const PasswordReading reading = ReadSetupPassword(
        {PasswordSource::Kind::kFile, L"no-such-folder-of-cellkeeper/setup-password"});
    EXPECT_TRUE(reading.password.empty());
    EXPECT_EQ(reading.refusal,
              "the file no-such-folder-of-cellkeeper/setup-password does not exist");
}

TEST(SecretTextTest, MovingLeavesNothingBehind) {
    std::wstring text = L"a password long enough to live on the heap";
    SecretText first(text);
    EXPECT_TRUE(text.empty());
    SecretText second(std::move(first));
    EXPECT_TRUE(first.empty());  // NOLINT(bugprone-use-after-move): the point of the test
    EXPECT_EQ(second.text(), L"a password long enough to live on the heap");
    std::wstring shortText = L"ab";
    SecretText third(shortText);
    second = std::move(third);
    EXPECT_EQ(second.text(), L"ab");
}

TEST(SecretTextTest, WipeTextClearsTheWholeBuffer) {
    std::string text = "secret";
    text.reserve(64);
    const char* buffer = text.data();
    WipeText(text);
    EXPECT_TRUE(text.empty());
    // The same allocation, now all zero where the secret stood.
    ASSERT_EQ(text.data(), buffer);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(buffer[i], '\0') << i;
}

}  // namespace
