// Holder of one WMI object reference and its property readers.
#pragma once

#include "platform/owners.h"
#include "platform/platform.h"

#include <cstdint>
#include <string>
#include <vector>

class WmiObject {
  public:
    bool Empty() const { return !object; }
    IWbemClassObject* get() const { return object.get(); }
    // Releases what is held and hands out the address for an out-parameter.
    IWbemClassObject** put() { return object.put(); }
    void reset() { object.reset(); }

    // Each reader clears its output first, even when it then fails. An empty holder gives
    // WBEM_E_INVALID_OBJECT; a failed IWbemClassObject::Get gives its code; VT_NULL gives 0 and
    // an empty output.

    // Any type; other types than VT_BSTR are converted to text (an integer to its digits).
    // A value that cannot become text gives WBEM_E_TYPE_MISMATCH.
    HRESULT GetString(const std::wstring& name, std::wstring& text) const;
    // Exactly VT_ARRAY | VT_BSTR; the list ends before the first empty or all-blank element.
    HRESULT GetStringArray(const std::wstring& name, std::vector<std::wstring>& list) const;
    // Any array; each element is read as a 32-bit integer and narrowed to 16 bits.
    HRESULT GetUInt16Array(const std::wstring& name, std::vector<std::uint16_t>& list) const;

    ComPtr<IWbemClassObject> object;
};
