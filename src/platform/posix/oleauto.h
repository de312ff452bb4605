// OLE Automation of the Linux layer: BSTR, VARIANT and SAFEARRAY with the names, layouts,
// signatures and codes of oleaut32, for the types and calls the system uses (bstr.cpp,
// variant.cpp, safe_array.cpp).
#pragma once

#include "platform/posix/com.h"
#include "platform/posix/win_types.h"

// A BSTR points at its first character; the four bytes before it hold the length in bytes
// (without the terminating NUL, which is always there). Embedded NULs are part of the text.
using BSTR = OLECHAR*;

enum VARENUM {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_CY = 6,
    VT_DATE = 7,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_DECIMAL = 14,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
    VT_RECORD = 36,
    VT_ARRAY = 0x2000,
    VT_BYREF = 0x4000,
    VT_TYPEMASK = 0xfff
};

struct SAFEARRAYBOUND {
    ULONG cElements;
    LONG lLbound;
};

struct SAFEARRAY {
    USHORT cDims;
    USHORT fFeatures;
    ULONG cbElements;
    ULONG cLocks;
    PVOID pvData;
    SAFEARRAYBOUND rgsabound[1];
};

#define FADF_HAVEVARTYPE (0x80)
#define FADF_BSTR (0x100)

struct VARIANT;
using VARIANTARG = VARIANT;

// The union's members are the values the system reads; a by-reference variant keeps its
// pointer in the same eight bytes.
struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        VARIANT_BOOL boolVal;
        BSTR bstrVal;
        IUnknown* punkVal;
        SAFEARRAY* parray;
        PVOID byref;
        CHAR cVal;
        USHORT uiVal;
        ULONG ulVal;
        ULONGLONG ullVal;
        INT intVal;
        UINT uintVal;
    };
};

#define V_UNION(X, Y) ((X)->Y)
#define V_VT(X) ((X)->vt)
#define V_UI1(X) V_UNION(X, bVal)
#define V_I1(X) V_UNION(X, cVal)
#define V_I2(X) V_UNION(X, iVal)
#define V_UI2(X) V_UNION(X, uiVal)
#define V_I4(X) V_UNION(X, lVal)
#define V_UI4(X) V_UNION(X, ulVal)
#define V_INT(X) V_UNION(X, intVal)
#define V_UINT(X) V_UNION(X, uintVal)
#define V_BOOL(X) V_UNION(X, boolVal)
#define V_BSTR(X) V_UNION(X, bstrVal)
#define V_ARRAY(X) V_UNION(X, parray)

// BSTR.
BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
void SysFreeString(BSTR bstrString);
UINT SysStringLen(BSTR pbstr);

// VARIANT. VariantChangeType converts integers and booleans to text and to other integers, and
// decimal integer text to integers, with the range rules of Windows; it answers E_NOTIMPL where
// Windows would convert reals, dates, currency, references or use flags.
void VariantInit(VARIANTARG* pvarg);
HRESULT VariantClear(VARIANTARG* pvarg);
HRESULT VariantCopy(VARIANTARG* pvargDest, VARIANTARG* pvargSrc);
HRESULT VariantChangeType(VARIANTARG* pvargDest, VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt);

// SAFEARRAY: vectors (one dimension) of integers or of BSTRs. An array of VT_BSTR owns its
// strings: destroying the array frees them, GetElement hands out copies, PutElement stores
// copies.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements);
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);

// Linux layer only, for tests: the next successfulAllocations BSTR allocations succeed and every
// later one fails, until this is called with a negative count.
namespace posix_testing {
void FailBstrAllocationsAfter(long successfulAllocations);
}  // namespace posix_testing
