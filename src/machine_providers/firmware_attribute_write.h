// The write behind SetBIOSSetting: one setting's current_value under
// sys/class/firmware-attributes/vantrel-wmi/attributes/<Name>/, after the setup password where one
// is given. No COM here; the provider turns the outcome into the method's "Return".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace machine_providers {

// "Return" of SetBIOSSetting. 0 only when the kernel accepted the write.
enum class SetSettingResult : std::uint32_t {
    kSuccess = 0,
    kNoSuchSetting = 1,     // no attributes/<Name>/ (or a name that cannot be one)
    kValueRefused = 2,      // not one of the choices, too long, or EINVAL from the driver
    kAccessDenied = 3,      // EACCES, EPERM, EROFS, EISDIR, a value file that is a link or no
                            // regular file, or the password was refused
    kIoError = 4,           // any other failure of the open, write or close
    kInvalidArguments = 5,  // Name or Value missing or empty; undecodable keyboard password
};

// Sysfs takes at most one page per store; a longer value could only arrive cut short.
inline constexpr std::size_t kMaxSettingValueBytes = 4095;

// The password text to hand to the kernel: "<utf-16/>" is dropped (the rest is the password);
// "<kbd/>" is followed by one two-character lower-case hexadecimal field per character (a
// space pads a single digit), decoded back to the characters; any other text is the password
// as it is. No value when a keyboard form cannot be decoded. An empty result means no password.
bool DecodePasswordArgument(std::wstring_view argument, std::wstring& password);

// Writes `value` (wide text, written as UTF-8) into the setting `name` of Vantrel's device:
// the setting folder that the setting query finds, its name matched with the letters a to z
// compared without case. An enumeration only takes one of its choices (letter case ignored; the
// choice's own spelling is written). A non-empty password is first written to the
// current_password of the setup password's folder (role bios-admin) and cleared again
// afterwards; a device without one needs no password and the argument is ignored.
SetSettingResult WriteBiosSetting(std::wstring_view name, std::wstring_view value,
                                  std::wstring_view passwordArgument);

// How an errno of the open, write or close of current_value is reported.
SetSettingResult ResultForWriteError(int error);

}  // namespace machine_providers
