// WMI client interfaces of the Linux layer, declared as Windows declares them: the same
// methods in the same order with the same signatures, the same enums with the same values and
// underlying types, so that a class implementing IWbemServices compiles on both platforms.
#pragma once

#include "platform/posix/com.h"
#include "platform/posix/oleauto.h"
#include "platform/posix/win_types.h"

struct IWbemQualifierSet;
struct IWbemContext;
struct IWbemCallResult;
struct IWbemObjectSink;
struct IWbemClassObject;
struct IEnumWbemClassObject;
struct IWbemServices;
struct IWbemLocator;

enum tag_WBEM_GENUS_TYPE { WBEM_GENUS_CLASS = 1, WBEM_GENUS_INSTANCE = 2 };
using WBEM_GENUS_TYPE = tag_WBEM_GENUS_TYPE;

enum tag_WBEM_GENERIC_FLAG_TYPE {
    WBEM_FLAG_RETURN_IMMEDIATELY = 0x10,
    WBEM_FLAG_FORWARD_ONLY = 0x20
};
using WBEM_GENERIC_FLAG_TYPE = tag_WBEM_GENERIC_FLAG_TYPE;

enum tag_WBEM_TIMEOUT_TYPE { WBEM_INFINITE = 0xffffffff };
using WBEM_TIMEOUT_TYPE = tag_WBEM_TIMEOUT_TYPE;

enum tag_WBEM_FLAVOR_TYPE { WBEM_FLAVOR_ORIGIN_LOCAL = 0, WBEM_FLAVOR_ORIGIN_SYSTEM = 0x40 };
using WBEM_FLAVOR_TYPE = tag_WBEM_FLAVOR_TYPE;

enum tag_CIMTYPE_ENUMERATION {
    CIM_EMPTY = 0,
    CIM_SINT8 = 16,
    CIM_UINT8 = 17,
    CIM_SINT16 = 2,
    CIM_UINT16 = 18,
    CIM_SINT32 = 3,
    CIM_UINT32 = 19,
    CIM_SINT64 = 20,
    CIM_UINT64 = 21,
    CIM_REAL32 = 4,
    CIM_REAL64 = 5,
    CIM_BOOLEAN = 11,
    CIM_STRING = 8,
    CIM_DATETIME = 101,
    CIM_REFERENCE = 102,
    CIM_CHAR16 = 103,
    CIM_OBJECT = 13,
    CIM_FLAG_ARRAY = 0x2000
};
using CIMTYPE_ENUMERATION = tag_CIMTYPE_ENUMERATION;

enum tag_WBEMSTATUS {
    WBEM_S_NO_ERROR = 0,
    WBEM_S_FALSE = 1,
    WBEM_S_TIMEDOUT = 0x40004,
    WBEM_E_FAILED = 0x80041001,
    WBEM_E_NOT_FOUND = 0x80041002,
    WBEM_E_ACCESS_DENIED = 0x80041003,
    WBEM_E_PROVIDER_FAILURE = 0x80041004,
    WBEM_E_TYPE_MISMATCH = 0x80041005,
    WBEM_E_OUT_OF_MEMORY = 0x80041006,
    WBEM_E_INVALID_PARAMETER = 0x80041008,
    WBEM_E_NOT_SUPPORTED = 0x8004100c,
    WBEM_E_INVALID_NAMESPACE = 0x8004100e,
    WBEM_E_INVALID_OBJECT = 0x8004100f,
    WBEM_E_INVALID_CLASS = 0x80041010,
    WBEM_E_INITIALIZATION_FAILURE = 0x80041014,
    WBEM_E_INVALID_OPERATION = 0x80041016,
    WBEM_E_INVALID_QUERY = 0x80041017,
    WBEM_E_INVALID_QUERY_TYPE = 0x80041018,
    WBEM_E_READ_ONLY = 0x80041023,
    WBEM_E_INVALID_METHOD = 0x8004102e,
    WBEM_E_INVALID_METHOD_PARAMETERS = 0x8004102f,
    WBEM_E_CONNECTION_FAILED = 0x80041071
};
using WBEMSTATUS = tag_WBEMSTATUS;

enum tag_WBEM_CONNECT_OPTIONS { WBEM_FLAG_CONNECT_USE_MAX_WAIT = 0x80 };
using WBEM_CONNECT_OPTIONS = tag_WBEM_CONNECT_OPTIONS;

using CIMTYPE = LONG;

inline constexpr CLSID CLSID_WbemLocator = {
    0x4590f811, 0x1d3a, 0x11d0, {0x89, 0x1f, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
inline constexpr IID IID_IWbemClassObject = {
    0xdc12a681, 0x737f, 0x11cf, {0x88, 0x4d, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
inline constexpr IID IID_IWbemLocator = {
    0xdc12a687, 0x737f, 0x11cf, {0x88, 0x4d, 0x00, 0xaa, 0x00, 0x4b, 0x2e, 0x24}};
inline constexpr IID IID_IEnumWbemClassObject = {
    0x027947e1, 0xd731, 0x11ce, {0xa3, 0x57, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};
inline constexpr IID IID_IWbemServices = {
    0x9556dc99, 0x828c, 0x11cf, {0xa3, 0x7e, 0x00, 0xaa, 0x00, 0x32, 0x40, 0xc7}};

struct IWbemClassObject : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet** ppQualSet) = 0;
    virtual HRESULT STDMETHODCALLTYPE Get(LPCWSTR wszName, LONG lFlags, VARIANT* pVal,
                                          CIMTYPE* pType, LONG* plFlavor) = 0;
    virtual HRESULT STDMETHODCALLTYPE Put(LPCWSTR wszName, LONG lFlags, VARIANT* pVal,
                                          CIMTYPE Type) = 0;
    virtual HRESULT STDMETHODCALLTYPE Delete(LPCWSTR wszName) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR wszQualifierName, LONG lFlags,
                                               VARIANT* pQualifierVal, SAFEARRAY** pNames) = 0;
    virtual HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG lEnumFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Next(LONG lFlags, BSTR* strName, VARIANT* pVal,
                                           CIMTYPE* pType, LONG* plFlavor) = 0;
    virtual HRESULT STDMETHODCALLTYPE EndEnumeration() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR wszProperty,
                                                              IWbemQualifierSet** ppQualSet) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject** ppCopy) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetObjectText(LONG lFlags, BSTR* pstrObjectText) = 0;
    virtual HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG lFlags,
                                                        IWbemClassObject** ppNewClass) = 0;
    virtual HRESULT STDMETHODCALLTYPE SpawnInstance(LONG lFlags,
                                                    IWbemClassObject** ppNewInstance) = 0;
    virtual HRESULT STDMETHODCALLTYPE CompareTo(LONG lFlags, IWbemClassObject* pCompareTo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR wszName, BSTR* pstrClassName) = 0;
    virtual HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR strAncestor) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR wszName, LONG lFlags,
                                                IWbemClassObject** ppInSignature,
                                                IWbemClassObject** ppOutSignature) = 0;
    virtual HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR wszName, LONG lFlags,
                                                IWbemClassObject* pInSignature,
                                                IWbemClassObject* pOutSignature) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR wszName) = 0;
    virtual HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG lEnumFlags) = 0;
    virtual HRESULT STDMETHODCALLTYPE NextMethod(LONG lFlags, BSTR* pstrName,
                                                 IWbemClassObject** ppInSignature,
                                                 IWbemClassObject** ppOutSignature) = 0;
    virtual HRESULT STDMETHODCALLTYPE EndMethodEnumeration() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR wszMethod,
                                                            IWbemQualifierSet** ppQualSet) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR wszMethodName,
                                                      BSTR* pstrClassName) = 0;

  protected:
    ~IWbemClassObject() = default;
};

struct IWbemLocator : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR strNetworkResource,
                                                    const BSTR strUser, const BSTR strPassword,
                                                    const BSTR strLocale, LONG lSecurityFlags,
                                                    const BSTR strAuthority, IWbemContext* pCtx,
                                                    IWbemServices** ppNamespace) = 0;

  protected:
    ~IWbemLocator() = default;
};

struct IEnumWbemClassObject : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Next(LONG lTimeout, ULONG uCount,
                                           IWbemClassObject** apObjects, ULONG* puReturned) = 0;
    virtual HRESULT STDMETHODCALLTYPE NextAsync(ULONG uCount, IWbemObjectSink* pSink) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(LONG lTimeout, ULONG nCount) = 0;

  protected:
    ~IEnumWbemClassObject() = default;
};

struct IWbemServices : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR strNamespace, LONG lFlags,
                                                    IWbemContext* pCtx,
                                                    IWbemServices** ppWorkingNamespace,
                                                    IWbemCallResult** ppResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink* pSink) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG lFlags,
                                                      IWbemObjectSink** ppResponseHandler) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetObject(const BSTR strObjectPath, LONG lFlags,
                                                IWbemContext* pCtx, IWbemClassObject** ppObject,
                                                IWbemCallResult** ppCallResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR strObjectPath, LONG lFlags,
                                                     IWbemContext* pCtx,
                                                     IWbemObjectSink* pResponseHandler) = 0;
    virtual HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject* pObject, LONG lFlags,
                                               IWbemContext* pCtx,
                                               IWbemCallResult** ppCallResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject* pObject, LONG lFlags,
                                                    IWbemContext* pCtx,
                                                    IWbemObjectSink* pResponseHandler) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR strClass, LONG lFlags,
                                                  IWbemContext* pCtx,
                                                  IWbemCallResult** ppCallResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR strClass, LONG lFlags,
                                                       IWbemContext* pCtx,
                                                       IWbemObjectSink* pResponseHandler) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR strSuperclass, LONG lFlags,
                                                      IWbemContext* pCtx,
                                                      IEnumWbemClassObject** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR strSuperclass, LONG lFlags,
                                                           IWbemContext* pCtx,
                                                           IWbemObjectSink* pResponseHandler) = 0;
    virtual HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject* pInst, LONG lFlags,
                                                  IWbemContext* pCtx,
                                                  IWbemCallResult** ppCallResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject* pInst, LONG lFlags,
                                                       IWbemContext* pCtx,
                                                       IWbemObjectSink* pResponseHandler) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR strObjectPath, LONG lFlags,
                                                     IWbemContext* pCtx,
                                                     IWbemCallResult** ppCallResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR strObjectPath, LONG lFlags,
                                                          IWbemContext* pCtx,
                                                          IWbemObjectSink* pResponseHandler) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR strFilter, LONG lFlags,
                                                         IWbemContext* pCtx,
                                                         IEnumWbemClassObject** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    CreateInstanceEnumAsync(const BSTR strFilter, LONG lFlags, IWbemContext* pCtx,
                            IWbemObjectSink* pResponseHandler) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR strQueryLanguage, const BSTR strQuery,
                                                LONG lFlags, IWbemContext* pCtx,
                                                IEnumWbemClassObject** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR strQueryLanguage,
                                                     const BSTR strQuery, LONG lFlags,
                                                     IWbemContext* pCtx,
                                                     IWbemObjectSink* pResponseHandler) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR strQueryLanguage,
                                                            const BSTR strQuery, LONG lFlags,
                                                            IWbemContext* pCtx,
                                                            IEnumWbemClassObject** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE
    ExecNotificationQueryAsync(const BSTR strQueryLanguage, const BSTR strQuery, LONG lFlags,
                               IWbemContext* pCtx, IWbemObjectSink* pResponseHandler) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR strObjectPath, const BSTR strMethodName,
                                                 LONG lFlags, IWbemContext* pCtx,
                                                 IWbemClassObject* pInParams,
                                                 IWbemClassObject** ppOutParams,
                                                 IWbemCallResult** ppCallResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR strObjectPath,
                                                      const BSTR strMethodName, LONG lFlags,
                                                      IWbemContext* pCtx,
                                                      IWbemClassObject* pInParams,
                                                      IWbemObjectSink* pResponseHandler) = 0;

  protected:
    ~IWbemServices() = default;
};
