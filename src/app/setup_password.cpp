#include "app/setup_password.h"

#include "app/file_refusals.h"
#include "base/text.h"

#include <optional>
#include <utility>

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

// UTF-16 code units of `bytes` in the given byte order; none for an odd count.
std::optional<std::u16string> Utf16Units(std::string_view bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0) return std::nullopt;
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(
            static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
    }
    return units;
}

}  // namespace

std::string PasswordSource::Describe() const {
    switch (kind) {
        case Kind::kNone:
            return "none";
        case Kind::kFile:
            return "the file " + ToUtf8(path);
        case Kind::kCredential:
            return "the credential cellkeeper-setup-password";
    }
    return {};
}

PasswordSource FindPasswordSource(const RunOptions& options) {
    if (options.passwordFile) return {PasswordSource::Kind::kFile, *options.passwordFile};
    std::wstring credential = PasswordCredentialFile();
    if (!credential.empty()) return {PasswordSource::Kind::kCredential, std::move(credential)};
    return {};
}

SecretText DecodePasswordText(std::string_view bytes, std::string& refusal) {
    std::wstring text;
    bool decoded = false;
    if (bytes.starts_with(kUtf16LeBom) || bytes.starts_with(kUtf16BeBom)) {
        std::optional<std::u16string> units =
            Utf16Units(bytes.substr(2), bytes.starts_with(kUtf16BeBom));
        if (units) {
            // A lone surrogate is no text.
            if (std::optional<std::string> check = Utf16ToUtf8(*units)) {
                text = Utf16ToWide(*units);
                decoded = true;
                WipeText(*check);
            }
            WipeBytes(units->data(), units->size() * sizeof(char16_t));
        }
    } else {
        if (bytes.starts_with(kUtf8Bom)) bytes.remove_prefix(kUtf8Bom.size());
        if (std::optional<std::u32string> points = DecodeUtf8(bytes)) {
            text = CodePointsToWide(*points);
            decoded = true;
            WipeBytes(points->data(), points->size() * sizeof(char32_t));
        }
    }
    SecretText password(text);
    if (!decoded) {
        refusal = "is not UTF-8 or UTF-16 text";
        return {};
    }
    // One line: its end ("\n" or "\r\n") is dropped, nothing may follow it.
    std::wstring_view line = password.text();
    if (line.ends_with(L"\n")) line.remove_suffix(1);
    if (line.ends_with(L"\r")) line.remove_suffix(1);
    if (line.empty()) {
        refusal = "holds no password";
    } else if (line.find_first_of(L"\r\n") != std::wstring_view::npos) {
        refusal = "holds more than one line";
    } else if (line.find(L'\0') != std::wstring_view::npos) {
        refusal = "holds a NUL character";
    } else if (Utf16Length(line) > kMaxPasswordCharacters) {
        refusal = "holds a password longer than 128 characters";
    }
    if (!refusal.empty()) return {};
    std::wstring kept(line);
    return SecretText(kept);
}

std::string PasswordFileRefusal(std::uint32_t attributes, std::uint32_t links, bool ownerTrusted,
                                bool othersHaveAccess) {
    constexpr std::uint32_t kDirectory = 0x10;      // FILE_ATTRIBUTE_DIRECTORY
    constexpr std::uint32_t kReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT
    if ((attributes & kReparsePoint) != 0) return kRefusalIsALink;
    if ((attributes & kDirectory) != 0) return kRefusalNotARegularFile;
    if (links != 1) return "has more than one name (a hard link)";
    if (!ownerTrusted) return "is not owned by SYSTEM, Administrators or this account";
    if (othersHaveAccess) {
        return "gives users other than SYSTEM and Administrators access to it";
    }
    return {};
}

PasswordReading ReadSetupPassword(const PasswordSource& source) {
    PasswordReading reading;
    if (source.kind == PasswordSource::Kind::kNone) return reading;
    std::string bytes;
    std::string refusal;
    if (source.path.empty()) {
        refusal = "names no file";
    } else {
        ReadPasswordFileBytes(source.path, bytes, refusal);
    }
    if (refusal.empty()) reading.password = DecodePasswordText(bytes, refusal);
    WipeText(bytes);
    if (!refusal.empty()) reading.refusal = source.Describe() + " " + refusal;
    return reading;
}
