// BSTR, VARIANT and SAFEARRAY for the Linux layer. Where Windows and Wine leave room, the
// behaviour follows what Wine's oleaut32 answers, so that the same tests pass on both builds.
#include "platform/posix/oleauto.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>
#include <string>

namespace {

// --- BSTR ---------------------------------------------------------------------------------

using BstrPrefix = std::uint32_t;

std::atomic<long> bstrAllocationsLeft{-1};

bool BstrAllocationAllowed() {
    long left = bstrAllocationsLeft.load();
    while (left >= 0) {
        if (left == 0) return false;
        if (bstrAllocationsLeft.compare_exchange_weak(left, left - 1)) return true;
    }
    return true;
}

// Allocates room for byteLength bytes of text plus a terminating NUL character; the bytes are
// zeroed. Null when the length does not fit the prefix or memory runs out.
BSTR AllocateBstrBytes(std::size_t byteLength) {
    constexpr std::size_t kMax = std::numeric_limits<BstrPrefix>::max() - sizeof(OLECHAR);
    if (byteLength > kMax || !BstrAllocationAllowed()) return nullptr;
    const std::size_t total = sizeof(BstrPrefix) + byteLength + sizeof(OLECHAR);
    // The text must be aligned for OLECHAR; malloc's alignment and a 4-byte prefix give that.
    void* block = std::calloc(1, total);
    if (!block) return nullptr;
    auto* prefix = static_cast<BstrPrefix*>(block);
    *prefix = static_cast<BstrPrefix>(byteLength);
    return reinterpret_cast<BSTR>(prefix + 1);
}

BstrPrefix* PrefixOf(BSTR bstr) { return reinterpret_cast<BstrPrefix*>(bstr) - 1; }

}  // namespace

namespace posix_testing {

void FailBstrAllocationsAfter(long successfulAllocations) {
    bstrAllocationsLeft.store(successfulAllocations < 0 ? -1 : successfulAllocations);
}

}  // namespace posix_testing

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(std::wcslen(psz)));
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    if (ui > (std::numeric_limits<BstrPrefix>::max() - sizeof(OLECHAR)) / sizeof(OLECHAR)) {
        return nullptr;
    }
    BSTR bstr = AllocateBstrBytes(std::size_t{ui} * sizeof(OLECHAR));
    if (bstr && strIn) std::memcpy(bstr, strIn, std::size_t{ui} * sizeof(OLECHAR));
    return bstr;
}

BSTR SysAllocStringByteLen(LPCSTR psz, UINT len) {
    BSTR bstr = AllocateBstrBytes(len);
    if (bstr && psz) std::memcpy(bstr, psz, len);
    return bstr;
}

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
    if (!pbstr) return FALSE;
    // Allocate before freeing: psz may point into the old string.
    BSTR fresh = SysAllocString(psz);
    if (psz && !fresh) return FALSE;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* psz, UINT len) {
    if (!pbstr) return FALSE;
    BSTR fresh = SysAllocStringLen(psz, len);
    if (!fresh) return FALSE;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

void SysFreeString(BSTR bstrString) {
    if (bstrString) std::free(PrefixOf(bstrString));
}

UINT SysStringLen(BSTR pbstr) {
    return pbstr ? static_cast<UINT>(*PrefixOf(pbstr) / sizeof(OLECHAR)) : 0;
}

UINT SysStringByteLen(BSTR bstr) { return bstr ? static_cast<UINT>(*PrefixOf(bstr)) : 0; }

// --- SAFEARRAY -----------------------------------------------------------------------------

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

// Bound i as stored: Windows keeps the last dimension first.
SAFEARRAYBOUND* Bounds(SAFEARRAY* psa) { return psa->rgsabound; }

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
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
            return 8;
        case VT_BSTR:
            return sizeof(BSTR);
        case VT_UNKNOWN:
        case VT_DISPATCH:
            return sizeof(IUnknown*);
        case VT_VARIANT:
            return sizeof(VARIANT);
        default:
            return 0;
    }
}

USHORT FeaturesFor(VARTYPE vt) {
    USHORT features = FADF_HAVEVARTYPE;
    if (vt == VT_BSTR) features |= FADF_BSTR;
    if (vt == VT_UNKNOWN) features |= FADF_UNKNOWN;
    if (vt == VT_DISPATCH) features |= FADF_DISPATCH;
    if (vt == VT_VARIANT) features |= FADF_VARIANT;
    return features;
}

bool ElementCount(SAFEARRAY* psa, std::size_t* count) {
    std::size_t total = 1;
    for (USHORT i = 0; i < psa->cDims; ++i) {
        const std::size_t n = Bounds(psa)[i].cElements;
        if (n != 0 && total > std::numeric_limits<std::size_t>::max() / n) return false;
        total *= n;
    }
    *count = total;
    return true;
}

SAFEARRAY* AllocateDescriptor(VARTYPE vt, UINT cDims) {
    const std::size_t size =
        sizeof(ArrayHeader) + sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
    void* block = std::calloc(1, size);
    if (!block) return nullptr;
    auto* header = static_cast<ArrayHeader*>(block);
    header->magic = kArrayMagic;
    header->vt = vt;
    auto* psa = reinterpret_cast<SAFEARRAY*>(header + 1);
    psa->cDims = static_cast<USHORT>(cDims);
    psa->fFeatures = FeaturesFor(vt);
    psa->cbElements = ElementSize(vt);
    return psa;
}

void FreeDescriptor(SAFEARRAY* psa) {
    HeaderOf(psa)->magic = 0;
    std::free(HeaderOf(psa));
}

// Frees what the elements own (strings, references, variants) and zeroes them.
void ReleaseElements(SAFEARRAY* psa) {
    if (!psa->pvData) return;
    std::size_t count = 0;
    ElementCount(psa, &count);
    if (psa->fFeatures & FADF_BSTR) {
        auto* items = static_cast<BSTR*>(psa->pvData);
        for (std::size_t i = 0; i < count; ++i) {
            SysFreeString(items[i]);
            items[i] = nullptr;
        }
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        auto* items = static_cast<IUnknown**>(psa->pvData);
        for (std::size_t i = 0; i < count; ++i) {
            if (items[i]) items[i]->Release();
            items[i] = nullptr;
        }
    } else if (psa->fFeatures & FADF_VARIANT) {
        auto* items = static_cast<VARIANT*>(psa->pvData);
        for (std::size_t i = 0; i < count; ++i) VariantClear(&items[i]);
    }
}

HRESULT AllocateData(SAFEARRAY* psa) {
    std::size_t count = 0;
    if (!ElementCount(psa, &count) || count > std::numeric_limits<std::size_t>::max() / 16) {
        return E_OUTOFMEMORY;
    }
    // At least one byte, so that an empty array still has a data pointer, as on Windows.
    psa->pvData = std::calloc(count == 0 ? 1 : count, psa->cbElements);
    return psa->pvData ? S_OK : E_OUTOFMEMORY;
}

// Offset in elements of the element at rgIndices (first index = first dimension).
HRESULT ElementOffset(SAFEARRAY* psa, const LONG* rgIndices, std::size_t* offset) {
    std::size_t result = 0;
    std::size_t stride = 1;
    for (USHORT dim = 0; dim < psa->cDims; ++dim) {
        const SAFEARRAYBOUND& bound = Bounds(psa)[psa->cDims - 1 - dim];
        const long long index = static_cast<long long>(rgIndices[dim]) - bound.lLbound;
        if (index < 0 || index >= static_cast<long long>(bound.cElements)) {
            return DISP_E_BADINDEX;
        }
        result += static_cast<std::size_t>(index) * stride;
        stride *= bound.cElements;
    }
    *offset = result;
    return S_OK;
}

void* ElementAt(SAFEARRAY* psa, std::size_t offset) {
    return static_cast<BYTE*>(psa->pvData) + offset * psa->cbElements;
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
    if (cDims == 0 || cDims > 0xffff || !rgsabound || ElementSize(vt) == 0) return nullptr;
    SAFEARRAY* psa = AllocateDescriptor(vt, cDims);
    if (!psa) return nullptr;
    for (UINT i = 0; i < cDims; ++i) Bounds(psa)[i] = rgsabound[cDims - 1 - i];
    if (FAILED(AllocateData(psa))) {
        FreeDescriptor(psa);
        return nullptr;
    }
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    SAFEARRAYBOUND bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    if (!IsOurs(psa)) return E_INVALIDARG;
    if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
    ReleaseElements(psa);
    std::free(psa->pvData);
    FreeDescriptor(psa);
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks >= kMaxLocks) return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
    if (!psa) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (!psa || !ppvData) return E_INVALIDARG;
    const HRESULT hr = SafeArrayLock(psa);
    *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
    return hr;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

UINT SafeArrayGetElemsize(SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    if (!psa || !plLbound) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    *plLbound = Bounds(psa)[psa->cDims - nDim].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    if (!psa || !plUbound) return E_INVALIDARG;
    if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& bound = Bounds(psa)[psa->cDims - nDim];
    *plUbound = static_cast<LONG>(bound.lLbound + static_cast<long long>(bound.cElements) - 1);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (!psa || !rgIndices || !pv) return E_INVALIDARG;
    std::size_t offset = 0;
    HRESULT hr = ElementOffset(psa, rgIndices, &offset);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = SafeArrayLock(psa))) return hr;
    void* element = ElementAt(psa, offset);
    if (psa->fFeatures & FADF_BSTR) {
        BSTR source = *static_cast<BSTR*>(element);
        BSTR copy = nullptr;
        if (source) {
            copy =
                SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
            if (!copy) hr = E_OUTOFMEMORY;
        }
        if (SUCCEEDED(hr)) *static_cast<BSTR*>(pv) = copy;
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        IUnknown* item = *static_cast<IUnknown**>(element);
        if (item) item->AddRef();
        *static_cast<IUnknown**>(pv) = item;
    } else if (psa->fFeatures & FADF_VARIANT) {
        auto* out = static_cast<VARIANT*>(pv);
        VariantInit(out);
        hr = VariantCopy(out, static_cast<VARIANT*>(element));
    } else {
        std::memcpy(pv, element, psa->cbElements);
    }
    SafeArrayUnlock(psa);
    return hr;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (!psa || !rgIndices) return E_INVALIDARG;
    std::size_t offset = 0;
    HRESULT hr = ElementOffset(psa, rgIndices, &offset);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = SafeArrayLock(psa))) return hr;
    void* element = ElementAt(psa, offset);
    if (psa->fFeatures & FADF_BSTR) {
        // pv is the BSTR itself; the array keeps a copy.
        BSTR source = static_cast<BSTR>(pv);
        BSTR copy = nullptr;
        if (source) {
            copy =
                SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
            if (!copy) hr = E_OUTOFMEMORY;
        }
        if (SUCCEEDED(hr)) {
            SysFreeString(*static_cast<BSTR*>(element));
            *static_cast<BSTR*>(element) = copy;
        }
    } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
        // pv is the interface pointer itself; the array keeps a reference.
        auto* item = static_cast<IUnknown*>(pv);
        if (item) item->AddRef();
        IUnknown*& slot = *static_cast<IUnknown**>(element);
        if (slot) slot->Release();
        slot = item;
    } else if (psa->fFeatures & FADF_VARIANT) {
        if (!pv) {
            hr = E_INVALIDARG;
        } else {
            hr = VariantCopy(static_cast<VARIANT*>(element), static_cast<VARIANT*>(pv));
        }
    } else if (!pv) {
        hr = E_INVALIDARG;
    } else {
        std::memcpy(element, pv, psa->cbElements);
    }
    SafeArrayUnlock(psa);
    return hr;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
    if (!psa || !pvt) return E_INVALIDARG;
    if (!IsOurs(psa)) return E_INVALIDARG;
    *pvt = static_cast<VARTYPE>(HeaderOf(psa)->vt);
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
    if (!ppsaOut) return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (!psa) return S_OK;
    if (!IsOurs(psa)) return E_INVALIDARG;
    const auto vt = static_cast<VARTYPE>(HeaderOf(psa)->vt);
    SAFEARRAY* copy = AllocateDescriptor(vt, psa->cDims);
    if (!copy) return E_OUTOFMEMORY;
    for (USHORT i = 0; i < psa->cDims; ++i) Bounds(copy)[i] = Bounds(psa)[i];
    HRESULT hr = AllocateData(copy);
    if (FAILED(hr)) {
        FreeDescriptor(copy);
        return hr;
    }
    std::size_t count = 0;
    ElementCount(psa, &count);
    for (std::size_t i = 0; i < count && SUCCEEDED(hr); ++i) {
        void* from = ElementAt(psa, i);
        void* to = ElementAt(copy, i);
        if (psa->fFeatures & FADF_BSTR) {
            BSTR source = *static_cast<BSTR*>(from);
            if (!source) continue;
            BSTR dup =
                SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source), SysStringByteLen(source));
            if (!dup) hr = E_OUTOFMEMORY;
            *static_cast<BSTR*>(to) = dup;
        } else if (psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
            IUnknown* item = *static_cast<IUnknown**>(from);
            if (item) item->AddRef();
            *static_cast<IUnknown**>(to) = item;
        } else if (psa->fFeatures & FADF_VARIANT) {
            hr = VariantCopy(static_cast<VARIANT*>(to), static_cast<VARIANT*>(from));
        } else {
            std::memcpy(to, from, psa->cbElements);
        }
    }
    if (FAILED(hr)) {
        SafeArrayDestroy(copy);
        return hr;
    }
    *ppsaOut = copy;
    return S_OK;
}

// --- VARIANT -------------------------------------------------------------------------------

namespace {

HRESULT ValidateVartype(VARTYPE vt) {
    const unsigned base = vt & VT_TYPEMASK;
    const unsigned extra = vt & ~static_cast<unsigned>(VT_TYPEMASK);
    if (extra & ~static_cast<unsigned>(VT_ARRAY | VT_BYREF)) return DISP_E_BADVARTYPE;
    const bool known =
        base <= VT_DECIMAL || (base >= VT_I1 && base <= VT_UINT) || base == VT_RECORD;
    if (!known) return DISP_E_BADVARTYPE;
    if (extra != 0 && (base == VT_EMPTY || base == VT_NULL)) return DISP_E_BADVARTYPE;
    return S_OK;
}

struct IntegerType {
    int bits;
    bool isSigned;
};

bool IntegerTypeOf(VARTYPE vt, IntegerType* type) {
    switch (vt) {
        case VT_I1:
            *type = {8, true};
            return true;
        case VT_UI1:
            *type = {8, false};
            return true;
        case VT_I2:
            *type = {16, true};
            return true;
        case VT_UI2:
            *type = {16, false};
            return true;
        case VT_I4:
        case VT_INT:
            *type = {32, true};
            return true;
        case VT_UI4:
        case VT_UINT:
            *type = {32, false};
            return true;
        case VT_I8:
            *type = {64, true};
            return true;
        case VT_UI8:
            *type = {64, false};
            return true;
        default:
            return false;
    }
}

// A numeric value read from a variant: exact integers as sign and magnitude, everything with
// its real value as well.
struct Number {
    bool real = false;  // only realValue is meaningful
    long double realValue = 0;
    bool negative = false;
    std::uint64_t magnitude = 0;
    bool beyond64 = false;  // the integer magnitude does not fit 64 bits
    VARTYPE sourceVt = VT_EMPTY;
    bool radixLiteral = false;  // "&H..." or "&O..." text
};

Number FromSigned(long long value, VARTYPE vt) {
    Number number;
    number.negative = value < 0;
    number.magnitude =
        number.negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    number.realValue = static_cast<long double>(value);
    number.sourceVt = vt;
    return number;
}

Number FromUnsigned(unsigned long long value, VARTYPE vt) {
    Number number;
    number.magnitude = value;
    number.realValue = static_cast<long double>(value);
    number.sourceVt = vt;
    return number;
}

Number FromReal(long double value, VARTYPE vt) {
    Number number;
    number.real = true;
    number.realValue = value;
    number.sourceVt = vt;
    return number;
}

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

const wchar_t* SkipBlanks(const wchar_t* p) {
    while (IsBlank(*p)) ++p;
    return p;
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// "&H1F" and "&O17".
HRESULT ParseRadixLiteral(const wchar_t* p, Number* number) {
    unsigned radix = 0;
    if (p[1] == L'H' || p[1] == L'h') radix = 16;
    if (p[1] == L'O' || p[1] == L'o') radix = 8;
    if (radix == 0) return DISP_E_TYPEMISMATCH;
    p += 2;
    std::uint64_t value = 0;
    bool anyDigit = false;
    for (;; ++p) {
        unsigned digit = 0;
        if (IsDigit(*p)) {
            digit = static_cast<unsigned>(*p - L'0');
        } else if (radix == 16 && *p >= L'a' && *p <= L'f') {
            digit = static_cast<unsigned>(*p - L'a') + 10;
        } else if (radix == 16 && *p >= L'A' && *p <= L'F') {
            digit = static_cast<unsigned>(*p - L'A') + 10;
        } else {
            break;
        }
        if (digit >= radix) return DISP_E_TYPEMISMATCH;
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / radix) {
            return DISP_E_OVERFLOW;
        }
        value = value * radix + digit;
        anyDigit = true;
    }
    if (!anyDigit || *SkipBlanks(p) != L'\0') return DISP_E_TYPEMISMATCH;
    *number = FromUnsigned(value, VT_BSTR);
    number->radixLiteral = true;
    return S_OK;
}

// Decimal text as the default (English) locale writes it: blanks around, a sign in front or
// behind, or parentheses for a negative number, "," between digits, "." before the fraction,
// an exponent. The integer value is rounded half to even, exactly.
HRESULT ParseNumber(const wchar_t* text, Number* number) {
    const wchar_t* p = SkipBlanks(text ? text : L"");
    if (*p == L'&') return ParseRadixLiteral(p, number);
    bool negative = false;
    bool signSeen = false;
    const bool parenthesised = *p == L'(';
    if (parenthesised) p = SkipBlanks(p + 1);
    if (*p == L'+' || *p == L'-') {
        negative = *p == L'-';
        signSeen = true;
        p = SkipBlanks(p + 1);
    }
    std::string digits;
    long exponent = 0;
    bool anyDigit = false;
    for (; IsDigit(*p) || (*p == L',' && anyDigit); ++p) {
        if (*p == L',') continue;
        digits += static_cast<char>(*p);
        anyDigit = true;
    }
    if (*p == L'.') {
        for (++p; IsDigit(*p); ++p) {
            digits += static_cast<char>(*p);
            --exponent;
            anyDigit = true;
        }
    }
    if (!anyDigit) return DISP_E_TYPEMISMATCH;
    if (*p == L'e' || *p == L'E') {
        ++p;
        bool exponentNegative = false;
        if (*p == L'+' || *p == L'-') exponentNegative = *p++ == L'-';
        if (!IsDigit(*p)) return DISP_E_TYPEMISMATCH;
        long value = 0;
        for (; IsDigit(*p); ++p) {
            if (value < 100000) value = value * 10 + (*p - L'0');
        }
        exponent += exponentNegative ? -value : value;
    }
    p = SkipBlanks(p);
    if (!signSeen && !parenthesised && (*p == L'+' || *p == L'-')) {
        negative = *p == L'-';
        p = SkipBlanks(p + 1);
    }
    if (parenthesised) {
        if (*p != L')') return DISP_E_TYPEMISMATCH;
        negative = true;
        p = SkipBlanks(p + 1);
    }
    if (*p != L'\0') return DISP_E_TYPEMISMATCH;

    const std::size_t firstSignificant = digits.find_first_not_of('0');
    digits.erase(0, firstSignificant == std::string::npos ? digits.size() : firstSignificant);

    Number result;
    result.negative = negative;
    result.sourceVt = VT_BSTR;
    if (!digits.empty()) {
        result.realValue = std::strtold((digits + "e" + std::to_string(exponent)).c_str(), nullptr);
        if (negative) result.realValue = -result.realValue;
        const long integerDigits = static_cast<long>(digits.size()) + exponent;
        if (integerDigits > 20) {
            result.beyond64 = true;
        } else {
            std::uint64_t magnitude = 0;
            for (long i = 0; i < integerDigits && !result.beyond64; ++i) {
                const unsigned digit =
                    i < static_cast<long>(digits.size())
                        ? static_cast<unsigned>(digits[static_cast<std::size_t>(i)] - '0')
                        : 0;
                if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
                    result.beyond64 = true;
                }
                magnitude = magnitude * 10 + digit;
            }
            // Round the fraction half to even.
            const long fractionStart = integerDigits < 0 ? 0 : integerDigits;
            if (integerDigits >= 0 && fractionStart < static_cast<long>(digits.size())) {
                const char first = digits[static_cast<std::size_t>(fractionStart)];
                const bool restNonZero =
                    digits.find_first_not_of('0', static_cast<std::size_t>(fractionStart) + 1) !=
                    std::string::npos;
                const bool up = first > '5' || (first == '5' && (restNonZero || (magnitude & 1)));
                if (up) {
                    if (magnitude == std::numeric_limits<std::uint64_t>::max()) {
                        result.beyond64 = true;
                    }
                    ++magnitude;
                }
            }
            result.magnitude = magnitude;
        }
    }
    *number = result;
    return S_OK;
}

HRESULT ReadNumber(const VARIANT& value, Number* number) {
    switch (value.vt) {
        case VT_EMPTY:
            *number = FromSigned(0, VT_EMPTY);
            return S_OK;
        case VT_I1:
            *number = FromSigned(static_cast<signed char>(value.cVal), VT_I1);
            return S_OK;
        case VT_UI1:
            *number = FromUnsigned(value.bVal, VT_UI1);
            return S_OK;
        case VT_I2:
            *number = FromSigned(value.iVal, VT_I2);
            return S_OK;
        case VT_UI2:
            *number = FromUnsigned(value.uiVal, VT_UI2);
            return S_OK;
        case VT_I4:
            *number = FromSigned(value.lVal, VT_I4);
            return S_OK;
        case VT_UI4:
            *number = FromUnsigned(value.ulVal, VT_UI4);
            return S_OK;
        case VT_INT:
            *number = FromSigned(value.intVal, VT_INT);
            return S_OK;
        case VT_UINT:
            *number = FromUnsigned(value.uintVal, VT_UINT);
            return S_OK;
        case VT_I8:
            *number = FromSigned(value.llVal, VT_I8);
            return S_OK;
        case VT_UI8:
            *number = FromUnsigned(value.ullVal, VT_UI8);
            return S_OK;
        case VT_BOOL:
            *number = FromSigned(value.boolVal, VT_BOOL);
            return S_OK;
        case VT_R4:
            *number = FromReal(value.fltVal, VT_R4);
            return S_OK;
        case VT_R8:
            *number = FromReal(value.dblVal, VT_R8);
            return S_OK;
        case VT_BSTR:
            return ParseNumber(value.bstrVal, number);
        default:
            return DISP_E_TYPEMISMATCH;
    }
}

void StoreInteger(VARTYPE vt, std::uint64_t bits, VARIANT* out) {
    out->vt = vt;
    switch (vt) {
        case VT_I1:
            out->cVal = static_cast<CHAR>(static_cast<std::int8_t>(bits & 0xffu));
            break;
        case VT_UI1:
            out->bVal = static_cast<BYTE>(bits & 0xffu);
            break;
        case VT_I2:
            out->iVal = static_cast<SHORT>(bits & 0xffffu);
            break;
        case VT_UI2:
            out->uiVal = static_cast<USHORT>(bits & 0xffffu);
            break;
        case VT_I4:
            out->lVal = static_cast<LONG>(bits & 0xffffffffu);
            break;
        case VT_INT:
            out->intVal = static_cast<INT>(bits & 0xffffffffu);
            break;
        case VT_UI4:
            out->ulVal = static_cast<ULONG>(bits & 0xffffffffu);
            break;
        case VT_UINT:
            out->uintVal = static_cast<UINT>(bits & 0xffffffffu);
            break;
        case VT_I8:
            out->llVal = static_cast<LONGLONG>(bits);
            break;
        default:
            out->ullVal = bits;
            break;
    }
}

HRESULT ToInteger(Number number, VARTYPE target, VARIANT* out) {
    IntegerType type{};
    IntegerTypeOf(target, &type);
    if (number.real) {
        if (!std::isfinite(number.realValue)) return DISP_E_OVERFLOW;
        const long double rounded = std::nearbyint(number.realValue);  // half to even
        number.negative = rounded < 0;
        const long double size = std::fabs(rounded);
        if (size >= 18446744073709551616.0L) return DISP_E_OVERFLOW;
        number.magnitude = static_cast<std::uint64_t>(size);
    }
    if (number.beyond64) return DISP_E_OVERFLOW;
    const std::uint64_t unsignedMax = type.bits == 64 ? std::numeric_limits<std::uint64_t>::max()
                                                      : (std::uint64_t{1} << type.bits) - 1;
    const std::uint64_t bits = number.negative ? 0 - number.magnitude : number.magnitude;

    // Windows and Wine take the bits as they are between signed and unsigned integers of one
    // width (an I4 of -1 becomes the UINT 4294967295), and for booleans and "&H" literals.
    IntegerType sourceType{};
    const bool sameWidth = IntegerTypeOf(number.sourceVt, &sourceType) &&
                           sourceType.bits == type.bits && sourceType.isSigned != type.isSigned;
    const bool boolToUnsigned = number.sourceVt == VT_BOOL && !type.isSigned;
    const bool literalFits = number.radixLiteral && number.magnitude <= unsignedMax;
    if (sameWidth || boolToUnsigned || literalFits) {
        StoreInteger(target, bits, out);
        return S_OK;
    }
    if (type.isSigned) {
        const std::uint64_t positiveMax = unsignedMax >> 1;
        if (number.negative ? number.magnitude > positiveMax + 1 : number.magnitude > positiveMax) {
            return DISP_E_OVERFLOW;
        }
    } else if ((number.negative && number.magnitude != 0) || number.magnitude > unsignedMax) {
        return DISP_E_OVERFLOW;
    }
    StoreInteger(target, bits, out);
    return S_OK;
}

HRESULT StoreText(const std::wstring& text, VARIANT* out) {
    BSTR bstr = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!bstr) return E_OUTOFMEMORY;
    out->vt = VT_BSTR;
    out->bstrVal = bstr;
    return S_OK;
}

std::wstring FormatReal(double value, int digits) {
    wchar_t buffer[64];
    std::swprintf(buffer, sizeof buffer / sizeof buffer[0], L"%.*G", digits, value);
    return buffer;
}

HRESULT ToBstr(const VARIANT& value, USHORT flags, VARIANT* out) {
    switch (value.vt) {
        case VT_EMPTY:
            return StoreText(L"", out);
        case VT_BOOL:
            if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) {
                return StoreText(value.boolVal ? L"True" : L"False", out);
            }
            return StoreText(std::to_wstring(value.boolVal), out);
        case VT_R4:
            return StoreText(FormatReal(static_cast<double>(value.fltVal), 7), out);
        case VT_R8:
            return StoreText(FormatReal(value.dblVal, 15), out);
        default:
            break;
    }
    IntegerType type{};
    if (!IntegerTypeOf(value.vt, &type)) return DISP_E_TYPEMISMATCH;
    Number number;
    ReadNumber(value, &number);
    if (type.isSigned) {
        return StoreText(number.negative ? L"-" + std::to_wstring(number.magnitude)
                                         : std::to_wstring(number.magnitude),
                         out);
    }
    return StoreText(std::to_wstring(number.magnitude), out);
}

bool EqualsIgnoringCase(const wchar_t* text, const wchar_t* word) {
    for (; *word; ++text, ++word) {
        const wchar_t c = (*text >= L'a' && *text <= L'z') ? *text - L'a' + L'A' : *text;
        const wchar_t w = (*word >= L'a' && *word <= L'z') ? *word - L'a' + L'A' : *word;
        if (c != w) return false;
    }
    return *text == L'\0';
}

HRESULT ToBool(const VARIANT& value, VARIANT* out) {
    if (value.vt == VT_BSTR && value.bstrVal) {
        const wchar_t* text = value.bstrVal;
        if (EqualsIgnoringCase(text, L"True") || EqualsIgnoringCase(text, L"#TRUE#")) {
            out->vt = VT_BOOL;
            out->boolVal = VARIANT_TRUE;
            return S_OK;
        }
        if (EqualsIgnoringCase(text, L"False") || EqualsIgnoringCase(text, L"#FALSE#")) {
            out->vt = VT_BOOL;
            out->boolVal = VARIANT_FALSE;
            return S_OK;
        }
    }
    Number number;
    const HRESULT hr = ReadNumber(value, &number);
    if (FAILED(hr)) return hr;
    const bool isTrue = number.real || number.sourceVt == VT_BSTR
                            ? number.realValue != 0
                            : (number.magnitude != 0 || number.beyond64);
    out->vt = VT_BOOL;
    out->boolVal = isTrue ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT ToReal(const VARIANT& value, VARTYPE target, VARIANT* out) {
    Number number;
    const HRESULT hr = ReadNumber(value, &number);
    if (FAILED(hr)) return hr;
    const long double real = number.real || number.sourceVt == VT_BSTR
                                 ? number.realValue
                                 : (number.negative ? -static_cast<long double>(number.magnitude)
                                                    : static_cast<long double>(number.magnitude));
    // Text past even long double's range reads as an infinity: that is an overflow too.
    if (target == VT_R4) {
        if (std::fabs(real) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
        out->vt = VT_R4;
        out->fltVal = static_cast<float>(real);
        return S_OK;
    }
    if (std::fabs(real) > std::numeric_limits<double>::max()) return DISP_E_OVERFLOW;
    out->vt = VT_R8;
    out->dblVal = static_cast<double>(real);
    return S_OK;
}

// A by-reference variant read as the value it points at; the copy owns nothing.
VARIANT Dereference(const VARIANT& source) {
    VARIANT value = source;
    if (!(source.vt & VT_BYREF)) return value;
    value.vt = static_cast<VARTYPE>(source.vt & ~static_cast<unsigned>(VT_BYREF));
    if (!source.byref) {
        value.vt = VT_EMPTY;
    } else if (value.vt == VT_VARIANT) {
        value = *source.pvarVal;
    } else {
        const std::size_t size = (value.vt & VT_ARRAY) ? sizeof(SAFEARRAY*) : ElementSize(value.vt);
        value.ullVal = 0;
        std::memcpy(&value.ullVal, source.byref, size);
    }
    return value;
}

HRESULT Convert(const VARIANT& source, USHORT flags, VARTYPE target, VARIANT* result) {
    VARIANT value = Dereference(source);
    if (value.vt == target) return VariantCopy(result, &value);
    if ((value.vt & VT_ARRAY) || (target & (VT_ARRAY | VT_BYREF))) return DISP_E_TYPEMISMATCH;
    if (value.vt == VT_ERROR) return DISP_E_TYPEMISMATCH;
    if (target == VT_NULL) {
        result->vt = VT_NULL;
        return S_OK;
    }
    if (value.vt == VT_NULL) return DISP_E_TYPEMISMATCH;
    if (target == VT_EMPTY) {
        result->vt = VT_EMPTY;
        return S_OK;
    }
    switch (target) {
        case VT_BSTR:
            return ToBstr(value, flags, result);
        case VT_BOOL:
            return ToBool(value, result);
        case VT_R4:
        case VT_R8:
            return ToReal(value, target, result);
        default:
            break;
    }
    IntegerType type{};
    if (!IntegerTypeOf(target, &type)) return DISP_E_TYPEMISMATCH;
    Number number;
    const HRESULT hr = ReadNumber(value, &number);
    if (FAILED(hr)) return hr;
    return ToInteger(number, target, result);
}

}  // namespace

void VariantInit(VARIANTARG* pvarg) {
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = 0;
    pvarg->wReserved2 = 0;
    pvarg->wReserved3 = 0;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
    if (!pvarg) return E_INVALIDARG;
    HRESULT hr = ValidateVartype(pvarg->vt);
    if (FAILED(hr)) return hr;
    if (!(pvarg->vt & VT_BYREF)) {
        if (pvarg->vt & VT_ARRAY) {
            // A locked array stays alive (its owner still holds the lock), yet the variant is
            // emptied all the same, as Windows does.
            hr = SafeArrayDestroy(pvarg->parray);
        } else if (pvarg->vt == VT_BSTR) {
            SysFreeString(pvarg->bstrVal);
        } else if (pvarg->vt == VT_UNKNOWN || pvarg->vt == VT_DISPATCH) {
            if (pvarg->punkVal) pvarg->punkVal->Release();
        }
    }
    pvarg->vt = VT_EMPTY;
    return hr;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, VARIANTARG* pvargSrc) {
    if (!pvargDest || !pvargSrc) return E_INVALIDARG;
    HRESULT hr = ValidateVartype(pvargSrc->vt);
    if (FAILED(hr)) return hr;
    if (pvargDest == pvargSrc) return S_OK;
    if (FAILED(hr = VariantClear(pvargDest))) return hr;
    const VARTYPE vt = pvargSrc->vt;
    if (vt & VT_BYREF) {
        *pvargDest = *pvargSrc;
    } else if (vt & VT_ARRAY) {
        SAFEARRAY* copy = nullptr;
        if (FAILED(hr = SafeArrayCopy(pvargSrc->parray, &copy))) return hr;
        *pvargDest = *pvargSrc;
        pvargDest->parray = copy;
    } else if (vt == VT_BSTR) {
        BSTR copy = nullptr;
        if (pvargSrc->bstrVal) {
            copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(pvargSrc->bstrVal),
                                         SysStringByteLen(pvargSrc->bstrVal));
            if (!copy) return E_OUTOFMEMORY;
        }
        *pvargDest = *pvargSrc;
        pvargDest->bstrVal = copy;
    } else {
        if ((vt == VT_UNKNOWN || vt == VT_DISPATCH) && pvargSrc->punkVal) {
            pvargSrc->punkVal->AddRef();
        }
        *pvargDest = *pvargSrc;
    }
    return S_OK;
}

HRESULT VariantChangeType(VARIANTARG* pvargDest, VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
    return VariantChangeTypeEx(pvargDest, pvarSrc, /*lcid=*/0, wFlags, vt);
}

HRESULT VariantChangeTypeEx(VARIANTARG* pvargDest, VARIANTARG* pvarSrc, LCID /*lcid*/,
                            USHORT wFlags, VARTYPE vt) {
    if (!pvargDest || !pvarSrc) return E_INVALIDARG;
    HRESULT hr = ValidateVartype(pvarSrc->vt);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = ValidateVartype(vt))) return hr;

    // Convert into a fresh variant first: the destination is left as it was on failure, and
    // may be the source itself.
    VARIANT result;
    VariantInit(&result);
    hr = Convert(*pvarSrc, wFlags, vt, &result);
    if (FAILED(hr)) return hr;
    if (FAILED(hr = VariantClear(pvargDest))) {
        VariantClear(&result);
        return hr;
    }
    *pvargDest = result;
    return S_OK;
}
