// The values that WMI objects hold.
#pragma once

#include "platform/owners.h"
#include "platform/platform.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace wmi_service {

// A VARIANT owner that WMI objects hold: copied deeply, with factories for their values.
class Variant : public UniqueVariant {
  public:
    Variant() noexcept = default;
    // Copies deeply; throws std::bad_alloc when the copy cannot be made.
    Variant(const Variant& other);
    Variant(Variant&& other) noexcept = default;
    Variant& operator=(Variant other) noexcept;
    ~Variant() = default;

    // A deep copy of `source`; throws std::bad_alloc when it cannot be made.
    static Variant Copy(const VARIANT& source);

    // The factories throw std::bad_alloc when memory runs out.
    static Variant Null();
    static Variant String(std::wstring_view text);
    static Variant Int32(std::int32_t number);
    static Variant UInt32(std::uint32_t number);
    static Variant Bool(bool flag);
    // VT_ARRAY | VT_BSTR, one element per text (an empty text gives an empty BSTR).
    static Variant Strings(const std::vector<std::wstring>& items);
    // VT_ARRAY | VT_I4: how WMI delivers uint16 and uint32 arrays.
    static Variant Int32s(const std::vector<std::int32_t>& items);

    // Writes a deep copy into `destination`, which must hold no value that needs clearing.
    HRESULT CopyTo(VARIANT* destination) const;
};

}  // namespace wmi_service
