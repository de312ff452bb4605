// VARIANT for the Linux layer. VariantChangeType converts between the types WMI delivers and the
// system reads: integers (and booleans, read as integers) to text and to other integers, and
// decimal integer text to integers. Where Windows would convert but this layer does not (reals,
// dates, currency, other text forms, references, flags), the call says E_NOTIMPL or, for text,
// DISP_E_TYPEMISMATCH: never a made-up value.
#include "platform/posix/oleauto.h"

#include <cstring>
#include <limits>
#include <string>

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
        case VT_BOOL:
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

// Types Windows converts and this layer does not.
bool NotEmulated(VARTYPE vt) {
    switch (vt) {
        case VT_R4:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
        case VT_DECIMAL:
            return true;
        default:
            return false;
    }
}

// An integer read from a variant, as sign and magnitude.
struct Number {
    bool negative = false;
    std::uint64_t magnitude = 0;
    bool beyond64 = false;  // the magnitude does not fit 64 bits
    VARTYPE sourceVt = VT_EMPTY;
};

Number FromSigned(long long value, VARTYPE vt) {
    Number number;
    number.negative = value < 0;
    number.magnitude =
        number.negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    number.sourceVt = vt;
    return number;
}

Number FromUnsigned(unsigned long long value, VARTYPE vt) {
    Number number;
    number.magnitude = value;
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

// Decimal integer text: blanks around, a sign in front. The text ends at its first NUL, as
// Windows reads it.
HRESULT ParseInteger(const wchar_t* text, Number* number) {
    const wchar_t* p = SkipBlanks(text ? text : L"");
    Number result;
    result.sourceVt = VT_BSTR;
    if (*p == L'+' || *p == L'-') {
        result.negative = *p == L'-';
        p = SkipBlanks(p + 1);
    }
    if (!IsDigit(*p)) return DISP_E_TYPEMISMATCH;
    for (; IsDigit(*p); ++p) {
        const auto digit = static_cast<unsigned>(*p - L'0');
        if (result.magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
            result.beyond64 = true;
        }
        result.magnitude = result.magnitude * 10 + digit;
    }
    if (*SkipBlanks(p) != L'\0') return DISP_E_TYPEMISMATCH;
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
        case VT_BSTR:
            return ParseInteger(value.bstrVal, number);
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

HRESULT ToInteger(const Number& number, VARTYPE target, VARIANT* out) {
    IntegerType type{};
    IntegerTypeOf(target, &type);
    if (number.beyond64) return DISP_E_OVERFLOW;
    const std::uint64_t unsignedMax = type.bits == 64 ? std::numeric_limits<std::uint64_t>::max()
                                                      : (std::uint64_t{1} << type.bits) - 1;
    const std::uint64_t bits = number.negative ? 0 - number.magnitude : number.magnitude;

    // Windows and Wine take the bits as they are between signed and unsigned integers of one
    // width (an I4 of -1 becomes the UINT 4294967295), and for booleans.
    IntegerType sourceType{};
    const bool sameWidth = number.sourceVt != VT_BOOL &&
                           IntegerTypeOf(number.sourceVt, &sourceType) &&
                           sourceType.bits == type.bits && sourceType.isSigned != type.isSigned;
    const bool boolToUnsigned = number.sourceVt == VT_BOOL && !type.isSigned;
    if (sameWidth || boolToUnsigned) {
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

HRESULT ToBstr(const VARIANT& value, VARIANT* out) {
    if (value.vt == VT_EMPTY) return StoreText(L"", out);
    IntegerType type{};
    if (!IntegerTypeOf(value.vt, &type)) return DISP_E_TYPEMISMATCH;
    Number number;
    ReadNumber(value, &number);
    const std::wstring digits = std::to_wstring(number.magnitude);
    return StoreText(number.negative ? L"-" + digits : digits, out);
}

HRESULT Convert(const VARIANT& value, USHORT flags, VARTYPE target, VARIANT* result) {
    if (value.vt == target) return VariantCopy(result, const_cast<VARIANT*>(&value));
    if ((value.vt & VT_BYREF) || flags != 0) return E_NOTIMPL;
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
    if (NotEmulated(value.vt) || NotEmulated(target) || target == VT_BOOL) return E_NOTIMPL;
    if (target == VT_BSTR) return ToBstr(value, result);
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
            copy = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
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
