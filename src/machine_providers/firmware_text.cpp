#include "machine_providers/firmware_text.h"

#include "base/text.h"

#include <optional>

namespace machine_providers {

std::wstring DecodeMachineText(std::string_view bytes) {
    if (const std::optional<std::u32string> points = DecodeUtf8(bytes)) {
        return CodePointsToWide(*points);
    }
    std::wstring out;
    out.reserve(bytes.size());
    for (const char byte : bytes)
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(byte)));
    return out;
}

}  // namespace machine_providers
