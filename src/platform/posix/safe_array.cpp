// One-dimensional SAFEARRAYs of integers and BSTRs for the Linux layer: what WMI hands out
// (string lists, integer lists). A BSTR array owns its strings.
#include "platform/posix/oleauto.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// Every array descriptor we create is preceded by this header, which records the element type
// (Windows keeps it in the four bytes before the descriptor as well).
struct ArrayHeader {
    std::uint32_t magic;
    std::uint32_t vt;
};
constexpr std::uint32_t kArrayMagic = 0x53414652;  // "SAFR"
constexpr ULONG kMaxLocks = 0xffff;

ArrayHeader* HeaderOf(SAFEARRAY* psa) { return reinterpret_cast<ArrayHeader*>(psa) - 1; }

bool IsOurs(SAFEARRAY* psa) { return psa && HeaderOf(psa)->magic == kArrayMagic; }

ULONG ElementSize(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
            return 4;
        case VT_I8:
        case VT_UI8:
            return 8;
        case VT_BSTR:
            return sizeof(BSTR);
        default:
            return 0;
    }
}

bool HoldsStrings(SAFEARRAY* psa) { return (psa->fFeatures & FADF_BSTR) != 0; }

BSTR CopyOf(BSTR source) { return SysAllocStringLen(source, SysStringLen(source)); }

// A descriptor with its data, zeroed; null when memory runs out.
SAFEARRAY* Allocate(VARTYPE vt, LONG lowerBound, ULONG count) {
    const ULONG size = ElementSize(vt);
    auto* header =
        static_cast<ArrayHeader*>(std::calloc(1, sizeof(ArrayHeader) + sizeof(SAFEARRAY)));
    if (!header) return nullptr;
    header->magic = kArrayMagic;
    header->vt = vt;
    auto* psa = reinterpret_cast<SAFEARRAY*>(header + 1);
    psa->cDims = 1;
    psa->fFeatures = static_cast<USHORT>(FADF_HAVEVARTYPE | (vt == VT_BSTR ? FADF_BSTR : 0));
    psa->cbElements = size;
    psa->rgsabound[0] = SAFEARRAYBOUND{count, lowerBound};
    // At least one byte, so that an empty array still has a data pointer, as on Windows.
    psa->pvData = std::calloc(count == 0 ? 1 : count, size);
    if (!psa->pvData) {
        std::free(header);
        return nullptr;
    }
    return psa;
}

void Free(SAFEARRAY* psa) {
    if (HoldsStrings(psa)) {
        auto* items = static_cast<BSTR*>(psa->pvData);
        for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) SysFreeString(items[i]);
    }
    std::free(psa->pvData);
    HeaderOf(psa)->magic = 0;
    std::free(HeaderOf(psa));
}

HRESULT Lock(SAFEARRAY* psa) {
    if (psa->cLocks >= kMaxLocks) return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

// The element at rgIndices[0], or null with DISP_E_BADINDEX outside the bounds.
void* ElementAt(SAFEARRAY* psa, const LONG* rgIndices, HRESULT* hr) {
    const SAFEARRAYBOUND& bound = psa->rgsabound[0];
    const long long index = static_cast<long long>(rgIndices[0]) - bound.lLbound;
    if (index < 0 || index >= static_cast<long long>(bound.cElements)) {
        *hr = DISP_E_BADINDEX;
        return nullptr;
    }
    *hr = S_OK;
    return static_cast<BYTE*>(psa->pvData) + static_cast<std::size_t>(index) * psa->cbElements;
}

}  // namespace

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    if (ElementSize(vt) == 0) return nullptr;
    return Allocate(vt, lLbound, cElements);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    if (!IsOurs(psa)) return E_INVALIDARG;
    if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
    Free(psa);
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (!psa || !ppvData) return E_INVALIDARG;
    const HRESULT hr = Lock(psa);
    *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
    return hr;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    if (!psa || !plLbound) return E_INVALIDARG;
    if (nDim != 1) return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    if (!psa || !plUbound) return E_INVALIDARG;
    if (nDim != 1) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& bound = psa->rgsabound[0];
    *plUbound = static_cast<LONG>(bound.lLbound + static_cast<long long>(bound.cElements) - 1);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (!psa || !rgIndices || !pv) return E_INVALIDARG;
    HRESULT hr = S_OK;
    void* element = ElementAt(psa, rgIndices, &hr);
    if (!element) return hr;
    if (HoldsStrings(psa)) {
        // The caller gets a copy of its own.
        BSTR source = *static_cast<BSTR*>(element);
        BSTR copy = source ? CopyOf(source) : nullptr;
        if (source && !copy) return E_OUTOFMEMORY;
        *static_cast<BSTR*>(pv) = copy;
    } else {
        std::memcpy(pv, element, psa->cbElements);
    }
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (!psa || !rgIndices) return E_INVALIDARG;
    HRESULT hr = S_OK;
    void* element = ElementAt(psa, rgIndices, &hr);
    if (!element) return hr;
    if (HoldsStrings(psa)) {
        // pv is the BSTR itself; the array keeps a copy.
        BSTR source = static_cast<BSTR>(pv);
        BSTR copy = source ? CopyOf(source) : nullptr;
        if (source && !copy) return E_OUTOFMEMORY;
        SysFreeString(*static_cast<BSTR*>(element));
        *static_cast<BSTR*>(element) = copy;
    } else {
        if (!pv) return E_INVALIDARG;
        std::memcpy(element, pv, psa->cbElements);
    }
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
    if (!ppsaOut) return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (!psa) return S_OK;
    if (!IsOurs(psa)) return E_INVALIDARG;
    const SAFEARRAYBOUND bound = psa->rgsabound[0];
    SAFEARRAY* copy =
        Allocate(static_cast<VARTYPE>(HeaderOf(psa)->vt), bound.lLbound, bound.cElements);
    if (!copy) return E_OUTOFMEMORY;
    if (HoldsStrings(psa)) {
        const auto* from = static_cast<const BSTR*>(psa->pvData);
        auto* to = static_cast<BSTR*>(copy->pvData);
        for (ULONG i = 0; i < bound.cElements; ++i) {
            if (!from[i]) continue;
            to[i] = CopyOf(from[i]);
            if (!to[i]) {
                Free(copy);
                return E_OUTOFMEMORY;
            }
        }
    } else {
        std::memcpy(copy->pvData, psa->pvData, std::size_t{bound.cElements} * psa->cbElements);
    }
    *ppsaOut = copy;
    return S_OK;
}
