// VariantChangeType as the system uses it: text and integers of every width to text and to
// integers (VT_UINT carries method results); every other type is refused, never made up.
#include "platform/platform.h"
#include "wmi_service/variant.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr VARTYPE kTypes[] = {VT_EMPTY, VT_NULL, VT_I1,   VT_UI1,  VT_I2,   VT_UI2,
                              VT_I4,    VT_UI4,  VT_INT,  VT_UINT, VT_I8,   VT_UI8,
                              VT_R4,    VT_R8,   VT_BOOL, VT_BSTR, VT_ERROR};
constexpr std::size_t kMaxText = 256;

VARTYPE PickType(FuzzedDataProvider& input) {
    return kTypes[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kTypes) - 1)];
}

// A source value of `type`: text from the input, or the input's bytes as the number.
wmi_service::Variant MakeSource(VARTYPE type, FuzzedDataProvider& input) {
    if (type == VT_BSTR) {
        const std::string bytes = input.ConsumeRandomLengthString(kMaxText);
        // Every character a UTF-16 unit, as Windows text is.
        std::wstring text;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            text += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                         static_cast<unsigned char>(bytes[i + 1]) << 8);
        }
        return wmi_service::Variant::String(text);
    }
    wmi_service::Variant source;
    source.get()->vt = type;
    const auto bits = input.ConsumeIntegral<std::uint64_t>();
    std::memcpy(&source.get()->ullVal, &bits, sizeof bits);
    return source;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const VARTYPE sourceType = PickType(input);
    const VARTYPE target = PickType(input);
    const auto flags = input.ConsumeIntegral<USHORT>();
    wmi_service::Variant source = MakeSource(sourceType, input);
    wmi_service::Variant result;
    const HRESULT hr = VariantChangeType(result.get(), source.get(), flags, target);
    if (SUCCEEDED(hr)) {
        if (result.Type() != target) std::abort();
    } else if (result.Type() != VT_EMPTY) {
        std::abort();
    }
    // In place, as the callers convert.
    VariantChangeType(source.get(), source.get(), flags, target);
    return 0;
}
