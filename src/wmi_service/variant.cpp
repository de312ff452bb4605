#include "wmi_service/variant.h"

#include "wmi_service/bstr.h"

#include <limits>
#include <new>
#include <utility>

namespace wmi_service {

namespace {

void ThrowOnFailure(HRESULT hr) {
    if (FAILED(hr)) throw std::bad_alloc();
}

ULONG ElementCount(std::size_t size) {
    if (size > std::numeric_limits<ULONG>::max()) throw std::bad_alloc();
    return static_cast<ULONG>(size);
}

}  // namespace

Variant::Variant(const Variant& other) : UniqueVariant() { ThrowOnFailure(other.CopyTo(get())); }

Variant& Variant::operator=(Variant other) noexcept {
    swap(other);
    return *this;
}

Variant Variant::Copy(const VARIANT& source) {
    Variant copy;
    ThrowOnFailure(VariantCopy(copy.get(), const_cast<VARIANT*>(&source)));
    return copy;
}

Variant Variant::Null() {
    Variant value;
    V_VT(value.get()) = VT_NULL;
    return value;
}

Variant Variant::String(std::wstring_view text) {
    Variant value;
    UniqueVariant copy(CopyBstr(text));
    value.swap(copy);
    return value;
}

Variant Variant::Int32(std::int32_t number) {
    Variant value;
    V_VT(value.get()) = VT_I4;
    V_I4(value.get()) = number;
    return value;
}

Variant Variant::UInt32(std::uint32_t number) {
    Variant value;
    V_VT(value.get()) = VT_UI4;
    V_UI4(value.get()) = number;
    return value;
}

Variant Variant::Bool(bool flag) {
    Variant value;
    V_VT(value.get()) = VT_BOOL;
    V_BOOL(value.get()) = flag ? VARIANT_TRUE : VARIANT_FALSE;
    return value;
}

Variant Variant::Strings(const std::vector<std::wstring>& items) {
    Variant value;
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, ElementCount(items.size()));
    if (!array) throw std::bad_alloc();
    // Owned by the variant from here on, so a failure below frees it.
    V_VT(value.get()) = VT_ARRAY | VT_BSTR;
    V_ARRAY(value.get()) = array;
    for (std::size_t i = 0; i < items.size(); ++i) {
        LONG index = static_cast<LONG>(i);
        UniqueBstr element = CopyBstr(items[i]);
        ThrowOnFailure(SafeArrayPutElement(array, &index, element.get()));
    }
    return value;
}

Variant Variant::Int32s(const std::vector<std::int32_t>& items) {
    Variant value;
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, ElementCount(items.size()));
    if (!array) throw std::bad_alloc();
    V_VT(value.get()) = VT_ARRAY | VT_I4;
    V_ARRAY(value.get()) = array;
    for (std::size_t i = 0; i < items.size(); ++i) {
        LONG index = static_cast<LONG>(i);
        std::int32_t element = items[i];
        ThrowOnFailure(SafeArrayPutElement(array, &index, &element));
    }
    return value;
}

HRESULT Variant::CopyTo(VARIANT* destination) const {
    if (!destination) return E_POINTER;
    VariantInit(destination);
    // VariantCopy only reads its source; the SDK declares it without const.
    return VariantCopy(destination, const_cast<VARIANT*>(get()));
}

}  // namespace wmi_service
