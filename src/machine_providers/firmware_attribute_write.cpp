#include "machine_providers/firmware_attribute_write.h"

#include "base/secret_text.h"
#include "base/text.h"
#include "machine_providers/capped_reads.h"
#include "machine_providers/device_reads.h"
#include "machine_providers/firmware_attributes.h"
#include "platform/machine_files.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

namespace machine_providers {
namespace {

constexpr std::wstring_view kUtf16Prefix = L"<utf-16/>";
constexpr std::wstring_view kKeyboardPrefix = L"<kbd/>";

std::optional<unsigned> HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return static_cast<unsigned>(c - L'0');
    if (c >= L'a' && c <= L'f') return static_cast<unsigned>(c - L'a' + 10);
    return std::nullopt;
}

// A name that could leave the attributes folder, or that no folder can have, names no setting.
bool IsPlainName(std::wstring_view name) {
    if (name.empty() || name == L"." || name == L"..") return false;
    return name.find_first_of(std::wstring_view(L"/\\\0:", 4)) == std::wstring_view::npos;
}

// The setting folder that the setting query finds for `name`, with what the write checks.
std::optional<BiosSettingFacts> FindBiosSetting(const std::filesystem::path& device,
                                                std::wstring_view name) {
    const std::vector<std::string> folders = SettingFolderNames(device, std::wstring(name));
    if (folders.empty()) return std::nullopt;
    std::optional<BiosSettingFacts> setting =
        ReadBiosSetting(device, folders.front(), {"possible_values"});
    if (setting) ReadTypeWhenUndecided(device, *setting);
    return setting;
}

bool Exists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

}  // namespace

bool DecodePasswordArgument(std::wstring_view argument, std::wstring& password) {
    password.clear();
    if (argument.starts_with(kUtf16Prefix)) {
        password = argument.substr(kUtf16Prefix.size());
        return true;
    }
    if (!argument.starts_with(kKeyboardPrefix)) {
        password = argument;
        return true;
    }
    const std::wstring_view codes = argument.substr(kKeyboardPrefix.size());
    if (codes.size() % 2 != 0) return false;
    // Room for all of it at once: no reallocation leaves part of the password behind.
    password.reserve(codes.size() / 2);
    for (std::size_t i = 0; i < codes.size(); i += 2) {
        const std::optional<unsigned> low = HexDigit(codes[i + 1]);
        const std::optional<unsigned> high =
            codes[i] == L' ' ? std::optional<unsigned>(0) : HexDigit(codes[i]);
        if (!low || !high) {
            password.clear();
            return false;
        }
        password.push_back(static_cast<wchar_t>(*high * 16 + *low));
    }
    return true;
}

SetSettingResult ResultForWriteError(int error) {
    switch (error) {
        case 0:
            return SetSettingResult::kSuccess;
        case ENOENT:
            return SetSettingResult::kNoSuchSetting;
        case EINVAL:
        case ERANGE:
            return SetSettingResult::kValueRefused;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return SetSettingResult::kAccessDenied;
        default:
            return SetSettingResult::kIoError;
    }
}

SetSettingResult WriteBiosSetting(std::wstring_view name, std::wstring_view value,
                                  std::wstring_view passwordArgument) {
    if (name.empty() || value.empty()) return SetSettingResult::kInvalidArguments;
    std::wstring decoded;
    const bool decodedWell = DecodePasswordArgument(passwordArgument, decoded);
    const SecretText password(decoded);
    if (!decodedWell) return SetSettingResult::kInvalidArguments;
    if (!IsPlainName(name)) return SetSettingResult::kNoSuchSetting;

    const std::optional<std::filesystem::path> device = VantrelFirmwareDevice();
    if (!device) return SetSettingResult::kNoSuchSetting;
    const std::optional<BiosSettingFacts> facts = FindBiosSetting(*device, name);
    if (!facts) return SetSettingResult::kNoSuchSetting;
    const std::filesystem::path setting = *device / "attributes" / PathFromUtf8(facts->name);

    std::string valueBytes = ToUtf8(value);
    if (facts->IsEnumeration()) {
        const std::vector<std::string> choices = facts->Choices();
        const auto choice = std::find_if(choices.begin(), choices.end(), [&](const std::string& c) {
            return EqualsIgnoreCase(c, valueBytes);
        });
        // The firmware would refuse it too; do not bother the driver.
        if (choice == choices.end()) return SetSettingResult::kValueRefused;
        valueBytes = *choice;
    }
    if (valueBytes.size() > kMaxSettingValueBytes) return SetSettingResult::kValueRefused;

    const std::filesystem::path currentValue = setting / "current_value";
    if (!Exists(currentValue)) return SetSettingResult::kNoSuchSetting;

    // The password goes to the setup password's folder, whatever the driver called it.
    std::optional<std::filesystem::path> passwordFile;
    if (!password.empty()) {
        if (const std::optional<BiosPasswordFacts> setupPassword =
                FindSetupPassword(*device, FileRequest())) {
            passwordFile = PasswordFolder(*device, setupPassword->name) / "current_password";
        }
    }
    const bool sendPassword = passwordFile && Exists(*passwordFile);
    // A password given for a firmware that offers no place to send it: the change it guards
    // is not tried without it.
    if (!password.empty() && !sendPassword) return SetSettingResult::kAccessDenied;
    if (sendPassword) {
        std::string bytes = ToUtf8(password.text());
        const int error = platform::ReplaceAttributeFile(*passwordFile, bytes);
        WipeText(bytes);
        if (error != 0) {
            ForgetDeviceState();
            const SetSettingResult result = ResultForWriteError(error);
            return result == SetSettingResult::kIoError ? result : SetSettingResult::kAccessDenied;
        }
    }
    const SetSettingResult result =
        ResultForWriteError(platform::ReplaceAttributeFile(currentValue, valueBytes));
    // Leave no password behind in the driver for whoever writes next.
    if (sendPassword) platform::ReplaceAttributeFile(*passwordFile, "\n");
    // Even a refused write may have changed what the firmware holds.
    ForgetDeviceState();
    return result;
}

}  // namespace machine_providers
