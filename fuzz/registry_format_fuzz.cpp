// The registry store's text: whatever parses must format to text that parses to the same key,
// and formatting that key again must give the same text.
#include "platform/posix/registry_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool SameKey(const posix::RegistryKeyFile& left, const posix::RegistryKeyFile& right) {
    if (left.keyName != right.keyName || left.values.size() != right.values.size()) return false;
    for (std::size_t i = 0; i < left.values.size(); ++i) {
        const posix::RegistryValue& a = left.values[i];
        const posix::RegistryValue& b = right.values[i];
        if (a.name != b.name || a.type != b.type || a.data != b.data) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto parsed = posix::ParseKeyFile(text);
    if (!parsed) return 0;
    const std::string formatted = posix::FormatKeyFile(*parsed);
    const auto reparsed = posix::ParseKeyFile(formatted);
    if (!reparsed || !SameKey(*parsed, *reparsed)) std::abort();
    if (posix::FormatKeyFile(*reparsed) != formatted) std::abort();
    return 0;
}
