// The registry store's writer: a sequence of value writes and reads on one key through the
// registry calls, checked against a model of what the key must hold. After every input the key
// file parses and holds exactly the model's values.
#include "fuzz_machine.h"
#include "platform/platform.h"
#include "platform/posix/registry_format.h"
#include "platform/posix/registry_store.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* kKeyPath = L"SOFTWARE\\Vantrel\\Fuzz";
constexpr const char* kKeyFile =
    "var/lib/cellkeeper-patch/registry/HKEY_LOCAL_MACHINE/SOFTWARE/"
    "Vantrel/Fuzz.reg";
constexpr std::size_t kMaxData = 64;
constexpr int kMaxOperations = 32;
// A few names, so that writes and reads meet; the case differs on purpose.
const wchar_t* const kNames[] = {L"",        L"Status",  L"STATUS",
                                 L"DateRun", L"a\"b\\c", L"\u00e9t\u00e9"};
// The last one is a type the store has no name for.
constexpr DWORD kTypes[] = {REG_NONE,  REG_SZ,       REG_EXPAND_SZ, REG_BINARY,
                            REG_DWORD, REG_MULTI_SZ, REG_QWORD,     0x12345678};

std::wstring Folded(std::wstring name) {
    for (auto& c : name) {
        if (c >= L'A' && c <= L'Z') c = c - L'A' + L'a';
    }
    return name;
}

bool IsText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Types that RRF_RT_ANY lets through; any other is ERROR_UNSUPPORTED_TYPE, as on Windows.
bool IsReadable(DWORD type) {
    return type == REG_NONE || IsText(type) || type == REG_BINARY || type == REG_DWORD ||
           type == REG_QWORD;
}

struct Stored {
    DWORD type;
    std::vector<BYTE> bytes;  // what a binary read gives back; unused for text
};

class OpenKey {
  public:
    OpenKey() {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &handle_, nullptr);
    }
    ~OpenKey() {
        if (handle_ != nullptr) RegCloseKey(handle_);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY get() const { return handle_; }

  private:
    HKEY handle_ = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::FuzzMachine machine;
    machine.Clear();
    FuzzedDataProvider input(data, size);
    std::map<std::wstring, Stored> model;
    {
        OpenKey key;
        if (key.get() == nullptr) std::abort();
        for (int i = 0; i < kMaxOperations && input.remaining_bytes() > 0; ++i) {
            const wchar_t* name =
                kNames[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kNames) - 1)];
            switch (input.ConsumeIntegralInRange(0, 1)) {
                case 0: {
                    const DWORD type =
                        kTypes[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kTypes) - 1)];
                    std::vector<BYTE> bytes = input.ConsumeBytes<BYTE>(
                        input.ConsumeIntegralInRange<std::size_t>(0, kMaxData));
                    // Text arrives as wchar_t units and its size counts UTF-16 bytes.
                    DWORD sizeGiven = static_cast<DWORD>(bytes.size());
                    std::wstring text;
                    if (IsText(type)) {
                        for (BYTE b : bytes) text += static_cast<wchar_t>(b ? b : L'\0');
                        text += L'\0';
                        sizeGiven = static_cast<DWORD>(text.size() * 2);
                    }
                    const BYTE* given =
                        IsText(type) ? reinterpret_cast<const BYTE*>(text.data()) : bytes.data();
                    if (RegSetValueExW(key.get(), name, 0, type, given, sizeGiven) !=
                        ERROR_SUCCESS) {
                        std::abort();
                    }
                    model[Folded(name)] = Stored{type, std::move(bytes)};
                    break;
                }
                default: {
                    // Text comes back as wchar_t units, its size counted in UTF-16 bytes.
                    wchar_t units[kMaxData + 1];
                    BYTE* buffer = reinterpret_cast<BYTE*>(units);
                    DWORD bufferSize = static_cast<DWORD>(std::size(units) * 2);
                    DWORD type = 0;
                    const LSTATUS result = RegGetValueW(key.get(), nullptr, name, RRF_RT_ANY, &type,
                                                        buffer, &bufferSize);
                    const auto found = model.find(Folded(name));
                    if (found == model.end()) {
                        if (result != ERROR_FILE_NOT_FOUND) std::abort();
                        break;
                    }
                    if (type != found->second.type) std::abort();
                    if (!IsReadable(type)) {
                        if (result != ERROR_UNSUPPORTED_TYPE) std::abort();
                        break;
                    }
                    if (result != ERROR_SUCCESS) std::abort();
                    if (!IsText(type) &&
                        std::vector<BYTE>(buffer, buffer + bufferSize) != found->second.bytes) {
                        std::abort();
                    }
                    break;
                }
            }
        }
    }
    // The file parses and holds the model's values, no more and no fewer.
    std::ifstream file(machine.Root() / kKeyFile, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    const auto parsed = posix::ParseKeyFile(text.str());
    if (!parsed || parsed->values.size() != model.size()) std::abort();
    return 0;
}
