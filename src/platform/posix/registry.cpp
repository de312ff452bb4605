#include "platform/posix/registry.h"

#include "base/text.h"
#include "platform/posix/registry_format.h"
#include "platform/posix/registry_store.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace posix {
namespace {

// Access rights that change the key's values or add keys below it.
constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

struct OpenKey {
    std::vector<std::u16string> names;  // hive first
    REGSAM access = 0;
};

struct KeyTable {
    std::mutex mutex;
    std::map<HKEY, std::unique_ptr<OpenKey>> keys;
    // Lives as long as the handles: the changes are made durable at the latest when the process
    // ends normally.
    PendingChanges pending;
};

KeyTable& Keys() {
    static KeyTable table;
    return table;
}

std::optional<std::u16string> HiveName(HKEY key) {
    if (key == HKEY_LOCAL_MACHINE) return u"HKEY_LOCAL_MACHINE";
    if (key == HKEY_CURRENT_USER) return u"HKEY_CURRENT_USER";
    if (key == HKEY_USERS) return u"HKEY_USERS";
    if (key == HKEY_CLASSES_ROOT) return u"HKEY_CLASSES_ROOT";
    return std::nullopt;
}

// A copy of what the handle stands for; nullopt for a closed or made-up handle.
std::optional<OpenKey> Lookup(HKEY key) {
    // A hive has no file of its own to keep.
    if (auto hive = HiveName(key)) return OpenKey{{std::move(*hive)}, KEY_ALL_ACCESS};
    KeyTable& table = Keys();
    std::lock_guard lock(table.mutex);
    const auto found = table.keys.find(key);
    if (found == table.keys.end()) return std::nullopt;
    return *found->second;
}

bool SameKey(const std::vector<std::u16string>& left, const std::vector<std::u16string>& right) {
    return std::equal(
        left.begin(), left.end(), right.begin(), right.end(),
        [](const std::u16string& a, const std::u16string& b) { return EqualsIgnoreCase(a, b); });
}

HKEY Insert(OpenKey key) {
    auto owned = std::make_unique<OpenKey>(std::move(key));
    // The handle is the object's address; it is only ever compared, never dereferenced.
    HKEY handle = reinterpret_cast<HKEY>(owned.get());
    KeyTable& table = Keys();
    std::lock_guard lock(table.mutex);
    table.keys.emplace(handle, std::move(owned));
    return handle;
}

bool HasControlCharacter(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c < u' '; });
}

// The names of `subKey` below `base`. Empty components (a doubled or trailing backslash) are
// skipped; a leading backslash is ERROR_BAD_PATHNAME, as on Windows.
DWORD AppendSubkeyNames(LPCWSTR subKey, std::vector<std::u16string>& names) {
    if (subKey == nullptr) return ERROR_SUCCESS;
    if (subKey[0] == L'\\') return ERROR_BAD_PATHNAME;
    const auto text = WideToUtf16(subKey);
    if (!text) return ERROR_INVALID_PARAMETER;
    std::u16string_view rest(*text);
    while (!rest.empty()) {
        const auto end = rest.find(u'\\');
        const std::u16string_view name = rest.substr(0, end);
        if (!name.empty()) {
            // The store keeps names as file names: no '/', no "." or "..", no control
            // characters, and text that UTF-8 can carry.
            if (name.find(u'/') != std::u16string_view::npos || name == u"." || name == u".." ||
                HasControlCharacter(name) || !Utf16ToUtf8(name)) {
                return ERROR_INVALID_PARAMETER;
            }
            names.emplace_back(name);
        }
        if (end == std::u16string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return ERROR_SUCCESS;
}

// A value name as the store keeps it: null and empty both name the default value.
std::optional<std::u16string> ValueName(LPCWSTR name) {
    if (name == nullptr) return std::u16string();
    auto text = WideToUtf16(name);
    if (!text || HasControlCharacter(*text) || !Utf16ToUtf8(*text)) return std::nullopt;
    return text;
}

bool IsTextType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Text data arrives as wchar_t units; `size` counts UTF-16 bytes, as on Windows. The first
// `size` bytes of its UTF-16LE form are stored, whatever they hold.
std::optional<std::vector<BYTE>> TextBytes(const BYTE* data, DWORD size) {
    std::vector<BYTE> bytes;
    bytes.reserve(size);
    std::size_t unit = 0;
    while (bytes.size() < size) {
        wchar_t character = 0;
        std::memcpy(&character, data + unit * sizeof(wchar_t), sizeof(wchar_t));
        ++unit;
        const auto utf16 = WideToUtf16(std::wstring_view(&character, 1));
        if (!utf16) return std::nullopt;
        for (char16_t code : *utf16) {
            bytes.push_back(static_cast<BYTE>(code & 0xFFu));
            bytes.push_back(static_cast<BYTE>(code >> 8));
        }
    }
    bytes.resize(size);
    return bytes;
}

// The RRF_RT_* bit of a value type.
DWORD RestrictionBit(DWORD type) {
    switch (type) {
        case REG_NONE:
            return RRF_RT_REG_NONE;
        case REG_SZ:
            return RRF_RT_REG_SZ;
        case REG_EXPAND_SZ:
            return RRF_RT_REG_EXPAND_SZ;
        case REG_BINARY:
            return RRF_RT_REG_BINARY;
        case REG_DWORD:
            return RRF_RT_REG_DWORD;
        case REG_MULTI_SZ:
            return RRF_RT_REG_MULTI_SZ;
        case REG_QWORD:
            return RRF_RT_REG_QWORD;
        default:
            return 0;
    }
}

// As Windows: a type outside the restriction is ERROR_UNSUPPORTED_TYPE; binary data read as a
// 32- or 64-bit number must have that size.
DWORD ApplyRestriction(DWORD flags, const RegistryValue& value) {
    if ((flags & RestrictionBit(value.type)) == 0) return ERROR_UNSUPPORTED_TYPE;
    if (value.type == REG_BINARY) {
        const DWORD restriction = flags & RRF_RT_ANY;
        if ((restriction == RRF_RT_DWORD && value.data.size() != sizeof(DWORD)) ||
            (restriction == RRF_RT_QWORD && value.data.size() != sizeof(ULONGLONG))) {
            return ERROR_DATATYPE_MISMATCH;
        }
    }
    return ERROR_SUCCESS;
}

// Copies text data out as wchar_t units, with a terminator added when the stored text lacks
// one. Sizes count UTF-16 bytes.
DWORD CopyText(const RegistryValue& value, PVOID out, DWORD& size) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < value.data.size(); i += 2) {
        text += static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8));
    }
    if (text.empty() || text.back() != u'\0') text += u'\0';
    const auto needed = static_cast<DWORD>(text.size() * 2);
    const DWORD available = size;
    size = needed;
    if (out == nullptr) return ERROR_SUCCESS;
    if (available < needed) return ERROR_MORE_DATA;
    const std::wstring wide = Utf16ToWide(text);
    std::memcpy(out, wide.data(), wide.size() * sizeof(wchar_t));
    return ERROR_SUCCESS;
}

DWORD CopyBytes(const RegistryValue& value, PVOID out, DWORD& size) {
    const auto needed = static_cast<DWORD>(value.data.size());
    const DWORD available = size;
    size = needed;
    if (out == nullptr) return ERROR_SUCCESS;
    if (available < needed) return ERROR_MORE_DATA;
    if (needed > 0) std::memcpy(out, value.data.data(), needed);
    return ERROR_SUCCESS;
}

// Opens (or with `create`, creates) `subKey` below `base`.
LSTATUS OpenOrCreate(HKEY base, LPCWSTR subKey, REGSAM access, bool create, PHKEY result,
                     LPDWORD disposition) {
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    auto parent = Lookup(base);
    if (!parent) return ERROR_INVALID_HANDLE;
    OpenKey key{parent->names, access & ~static_cast<REGSAM>(KEY_WOW64_64KEY | KEY_WOW64_32KEY)};
    if (const DWORD named = AppendSubkeyNames(subKey, key.names); named != ERROR_SUCCESS) {
        return static_cast<LSTATUS>(named);
    }
    const RegistryStore store(key.names, Keys().pending);
    bool created = false;
    if (create) {
        if (const DWORD made = store.Create(created); made != ERROR_SUCCESS) {
            return static_cast<LSTATUS>(made);
        }
    }
    if (const DWORD checked = store.Check((key.access & kWriteRights) != 0);
        checked != ERROR_SUCCESS) {
        return static_cast<LSTATUS>(checked);
    }
    if (disposition != nullptr)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = Insert(std::move(key));
    return ERROR_SUCCESS;
}

}  // namespace
}  // namespace posix

using posix::OpenKey;
using posix::RegistryKeyFile;
using posix::RegistryStore;
using posix::RegistryValue;

extern "C" {

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                             PHKEY phkResult) {
    return posix::OpenOrCreate(hKey, lpSubKey, samDesired, /*create=*/false, phkResult,
                               /*disposition=*/nullptr);
}

LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD /*Reserved*/, LPWSTR /*lpClass*/,
                               DWORD /*dwOptions*/, REGSAM samDesired,
                               LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, PHKEY phkResult,
                               LPDWORD lpdwDisposition) {
    return posix::OpenOrCreate(hKey, lpSubKey, samDesired, /*create=*/true, phkResult,
                               lpdwDisposition);
}

LSTATUS WINAPI RegGetValueW(HKEY hkey, LPCWSTR lpSubKey, LPCWSTR lpValue, DWORD dwFlags,
                            LPDWORD pdwType, PVOID pvData, LPDWORD pcbData) {
    if ((pvData != nullptr && pcbData == nullptr) || (dwFlags & RRF_RT_ANY) == 0) {
        return ERROR_INVALID_PARAMETER;
    }
    const DWORD available = pcbData != nullptr ? *pcbData : 0;
    auto zeroOnFailure = [&](LSTATUS result) {
        if (result != ERROR_SUCCESS && (dwFlags & RRF_ZEROONFAILURE) != 0 && pvData != nullptr) {
            std::memset(pvData, 0, available);
        }
        return result;
    };

    auto key = posix::Lookup(hkey);
    if (!key) return zeroOnFailure(ERROR_INVALID_HANDLE);
    const std::size_t depth = key->names.size();
    if (const DWORD named = posix::AppendSubkeyNames(lpSubKey, key->names);
        named != ERROR_SUCCESS) {
        return zeroOnFailure(static_cast<LSTATUS>(named));
    }
    const auto name = posix::ValueName(lpValue);
    if (!name) return zeroOnFailure(ERROR_FILE_NOT_FOUND);

    const RegistryStore store(key->names, posix::Keys().pending);
    RegistryKeyFile file;
    DWORD result = store.Check(/*write=*/false, &file);
    // The open key itself has gone (a subkey that is missing is simply not found).
    if (result == ERROR_FILE_NOT_FOUND && key->names.size() == depth) result = ERROR_KEY_DELETED;
    if (result != ERROR_SUCCESS) return zeroOnFailure(static_cast<LSTATUS>(result));

    const RegistryValue* value = file.Find(*name);
    if (value == nullptr) return zeroOnFailure(ERROR_FILE_NOT_FOUND);
    if (pdwType != nullptr) *pdwType = value->type;
    result = posix::ApplyRestriction(dwFlags, *value);
    if (result != ERROR_SUCCESS) return zeroOnFailure(static_cast<LSTATUS>(result));

    DWORD size = available;
    result = posix::IsTextType(value->type) ? posix::CopyText(*value, pvData, size)
                                            : posix::CopyBytes(*value, pvData, size);
    if (pcbData != nullptr) *pcbData = size;
    return zeroOnFailure(static_cast<LSTATUS>(result));
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD /*Reserved*/, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
    const auto key = posix::Lookup(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    if ((key->access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    if (lpData == nullptr && cbData != 0) return ERROR_NOACCESS;
    auto name = posix::ValueName(lpValueName);
    if (!name) return ERROR_INVALID_PARAMETER;

    RegistryValue value{std::move(*name), dwType, {}};
    if (posix::IsTextType(dwType) && cbData != 0) {
        auto bytes = posix::TextBytes(lpData, cbData);
        if (!bytes) return ERROR_INVALID_PARAMETER;
        value.data = std::move(*bytes);
    } else if (cbData != 0) {
        value.data.assign(lpData, lpData + cbData);
    }
    const RegistryStore store(key->names, posix::Keys().pending);
    // Kept until the durable point, where it is applied once more to the file as it is then.
    return static_cast<LSTATUS>(store.Update([value = std::move(value)](RegistryKeyFile& file) {
        file.Set(value);
        return static_cast<DWORD>(ERROR_SUCCESS);
    }));
}

LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
    auto key = posix::Lookup(hKey);
    if (!key) return ERROR_INVALID_HANDLE;
    const std::size_t depth = key->names.size();
    if (const DWORD named = posix::AppendSubkeyNames(lpSubKey, key->names);
        named != ERROR_SUCCESS) {
        return static_cast<LSTATUS>(named);
    }
    const RegistryStore store(key->names, posix::Keys().pending);
    if (key->names.size() == depth) {
        // Without a subkey the key itself stays, emptied of its values and subkeys.
        return static_cast<LSTATUS>(store.Clear());
    }
    return static_cast<LSTATUS>(store.DeleteTree());
}

LSTATUS WINAPI RegFlushKey(HKEY hKey) {
    if (!posix::Lookup(hKey)) return ERROR_INVALID_HANDLE;
    return static_cast<LSTATUS>(posix::Keys().pending.Flush());
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    if (posix::HiveName(hKey)) return ERROR_SUCCESS;
    posix::KeyTable& table = posix::Keys();
    bool last = true;
    {
        std::unique_ptr<OpenKey> closed;
        std::lock_guard lock(table.mutex);
        const auto found = table.keys.find(hKey);
        if (found == table.keys.end()) return ERROR_INVALID_HANDLE;
        closed = std::move(found->second);
        table.keys.erase(found);
        last = std::none_of(table.keys.begin(), table.keys.end(), [&closed](const auto& open) {
            return posix::SameKey(open.second->names, closed->names);
        });
    }
    // Closing the last handle of a key is a durable point: what a process leaves behind when it
    // closes its keys outlives a power loss. Nothing pending, nothing flushed.
    return static_cast<LSTATUS>(last ? table.pending.Flush() : ERROR_SUCCESS);
}

}  // extern "C"

namespace posix {

DWORD FlushRegistry() { return Keys().pending.Flush(); }

}  // namespace posix
