#include "wmi_service/wbem_enumerator.h"

#include <new>
#include <utility>

namespace wmi_service {

namespace {

// A time-out is WBEM_INFINITE or a number of milliseconds.
bool IsValidTimeout(LONG timeout) {
    return timeout >= 0 || timeout == static_cast<LONG>(WBEM_INFINITE);
}

}  // namespace

WbemEnumerator::WbemEnumerator(std::vector<ComPtr<IWbemClassObject>> objects)
    : ComObject(IID_IEnumWbemClassObject), objects_(std::move(objects)) {}

WbemEnumerator::~WbemEnumerator() = default;

HRESULT WbemEnumerator::Reset() { return Hr(WBEM_E_NOT_SUPPORTED); }

HRESULT WbemEnumerator::Next(LONG timeout, ULONG count, IWbemClassObject** objects,
                             ULONG* returned) {
    if (!objects || !returned || !IsValidTimeout(timeout)) return Hr(WBEM_E_INVALID_PARAMETER);
    *returned = 0;
    ULONG delivered = 0;
    while (delivered < count && position_ < objects_.size()) {
        objects[delivered++] = ComPtr<IWbemClassObject>(objects_[position_++]).detach();
    }
    *returned = delivered;
    return delivered == count && count > 0 ? Hr(WBEM_S_NO_ERROR) : Hr(WBEM_S_FALSE);
}

HRESULT WbemEnumerator::NextAsync(ULONG /*count*/, IWbemObjectSink* /*sink*/) {
    return Hr(WBEM_E_NOT_SUPPORTED);
}

HRESULT WbemEnumerator::Clone(IEnumWbemClassObject** copy) {
    if (copy) *copy = nullptr;
    return Hr(WBEM_E_NOT_SUPPORTED);
}

HRESULT WbemEnumerator::Skip(LONG /*timeout*/, ULONG /*count*/) { return Hr(WBEM_E_NOT_SUPPORTED); }

HRESULT CreateWbemEnumerator(std::vector<ComPtr<IWbemClassObject>> objects,
                             IEnumWbemClassObject** enumerator) {
    if (!enumerator) return Hr(WBEM_E_INVALID_PARAMETER);
    *enumerator = nullptr;
    try {
        *enumerator = MakeComObject<WbemEnumerator>(std::move(objects)).detach();
        return WBEM_S_NO_ERROR;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace wmi_service
