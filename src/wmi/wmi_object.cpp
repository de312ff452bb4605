#include "wmi/wmi_object.h"

#include "platform/owners.h"
#include "platform/wbem_status.h"

#include <new>

namespace {

bool IsBlank(const std::wstring& text) {
    return text.find_first_not_of(L' ') == std::wstring::npos;
}

// Text of a BSTR up to its first NUL; a null BSTR is empty.
std::wstring TextOf(BSTR text) { return text ? std::wstring(text) : std::wstring(); }

// An integer element of the given type, at the width the type has.
bool ReadIntegerElement(VARTYPE type, const void* elements, ULONG index, std::uint16_t& out) {
    switch (type) {
        case VT_I1:
        case VT_UI1:
            out = static_cast<const BYTE*>(elements)[index];
            return true;
        case VT_I2:
        case VT_UI2:
            out = static_cast<const USHORT*>(elements)[index];
            return true;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            out = static_cast<std::uint16_t>(static_cast<const ULONG*>(elements)[index]);
            return true;
        case VT_I8:
        case VT_UI8:
            out = static_cast<std::uint16_t>(static_cast<const ULONGLONG*>(elements)[index]);
            return true;
        default:
            return false;
    }
}

}  // namespace

HRESULT WmiObject::GetString(const std::wstring& name, std::wstring& text) const {
    UniqueVariant value;
    text.clear();
    if (!object) return Hr(WBEM_E_INVALID_OBJECT);
    HRESULT hr = object->Get(name.c_str(), /*lFlags=*/0, value.get(), /*pType=*/nullptr,
                             /*plFlavor=*/nullptr);
    if (FAILED(hr)) return hr;
    // A NULL property reads as empty text: callers take that as "no value".
    if (value.Type() == VT_NULL) return S_OK;
    try {
        if (value.Type() != VT_BSTR) {
            hr = VariantChangeType(value.get(), value.get(), /*wFlags=*/0, VT_BSTR);
            if (FAILED(hr)) _com_issue_error(hr);
        }
        text = TextOf(V_BSTR(value.get()));
    } catch (const _com_error& error) {
        text.clear();
        return error.Error() == DISP_E_TYPEMISMATCH ? Hr(WBEM_E_TYPE_MISMATCH) : error.Error();
    } catch (const std::bad_alloc&) {
        text.clear();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT WmiObject::GetStringArray(const std::wstring& name, std::vector<std::wstring>& list) const {
    list.clear();  // keeps the capacity for the next read
    UniqueVariant value;
    if (!object) return Hr(WBEM_E_INVALID_OBJECT);
    HRESULT hr = object->Get(name.c_str(), /*lFlags=*/0, value.get(), /*pType=*/nullptr,
                             /*plFlavor=*/nullptr);
    if (FAILED(hr)) return hr;
    if (value.Type() == VT_NULL) return S_OK;
    if (value.Type() != (VT_ARRAY | VT_BSTR)) return Hr(WBEM_E_TYPE_MISMATCH);

    SafeArrayData array(V_ARRAY(value.get()));
    hr = array.Access();
    if (FAILED(hr)) return hr;
    const ULONG count = array.Count();
    if (count > list.capacity()) list.reserve(count);
    const BSTR* elements = static_cast<const BSTR*>(array.data);
    for (ULONG i = 0; i < count; ++i) {
        list.push_back(TextOf(elements[i]));
        // Providers end a list with an empty or blank entry; what follows is not part of it.
        if (IsBlank(list.back())) {
            list.pop_back();
            break;
        }
    }
    return S_OK;
}

HRESULT WmiObject::GetUInt16Array(const std::wstring& name,
                                  std::vector<std::uint16_t>& list) const {
    list.clear();
    UniqueVariant value;
    if (!object) return Hr(WBEM_E_INVALID_OBJECT);
    HRESULT hr = object->Get(name.c_str(), /*lFlags=*/0, value.get(), /*pType=*/nullptr,
                             /*plFlavor=*/nullptr);
    if (FAILED(hr)) return hr;
    if (value.Type() == VT_NULL) return S_OK;
    if ((value.Type() & VT_ARRAY) == 0) return Hr(WBEM_E_TYPE_MISMATCH);

    SafeArrayData array(V_ARRAY(value.get()));
    hr = array.Access();
    if (FAILED(hr)) return hr;
    // WMI delivers uint16 arrays as arrays of 32-bit integers; every integer width is read at
    // its own size so that no element is read past the array's end.
    const auto elementType = static_cast<VARTYPE>(value.Type() & ~VT_ARRAY);
    list.resize(array.Count());
    for (ULONG i = 0; i < array.Count(); ++i) {
        if (!ReadIntegerElement(elementType, array.data, i, list[i])) {
            list.clear();
            return Hr(WBEM_E_TYPE_MISMATCH);
        }
    }
    return S_OK;
}
