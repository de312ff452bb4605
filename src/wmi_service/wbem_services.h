// A base IWbemServices for in-memory namespaces. Every IWbemServices method answers
// WBEM_E_NOT_SUPPORTED unless a derived class overrides it; the base itself answers ExecQuery
// (WQL as in wql.h), CreateInstanceEnum and GetObject from a class table that the derived class
// fills: per class its description (the class object) and a function that produces its
// instances afresh for every call, so a query sees the machine as it is at that moment.
//
// It also implements IClientSecurity, which CoSetProxyBlanket asks the object for: SetBlanket
// and QueryBlanket succeed (the blanket is remembered), CopyProxy is E_NOTIMPL.
//
// Query answers: an unknown class is WBEM_E_INVALID_CLASS; an unknown property in the select
// list or the condition is WBEM_E_INVALID_QUERY; a language other than "WQL" is
// WBEM_E_INVALID_QUERY_TYPE. The condition compares the property's text form (integers as
// decimal digits) without regard to letter case; a NULL property matches nothing. Properties
// left out of the select list read as VT_NULL; system properties stay.
#pragma once

#include "platform/owners.h"
#include "platform/platform.h"
#include "wmi_service/com_object.h"
#include "wmi_service/wbem_object_builder.h"

#include <functional>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wmi_service {

using WbemInstances = std::vector<ComPtr<IWbemClassObject>>;

// What one call can show of a class's instances. Producing an instance may cost (a machine's
// firmware answers every firmware-attributes read), so a producer may leave out what lies
// outside the request: instances whose key differs, properties nobody reads. The services still
// filter and project what comes back, so a producer that ignores the request answers the same.
struct WbemRequest {
    // Set when only the instance whose key property holds this text can be part of the answer
    // (letter case ignored, as WMI compares keys).
    std::optional<std::wstring> key;
    // The properties that the answer shows or that its condition tests; empty: all of them.
    std::vector<std::wstring> properties;

    bool Wants(std::wstring_view property) const;
    // Whether an instance whose key is `keyText` can be part of the answer.
    bool MayMatch(std::wstring_view keyText) const;
};

// One row of a services object's class table.
struct WbemClass {
    // The class object; its name is the class name and its properties are those a query may
    // name.
    WbemObjectBuilder description;
    // Fills `instances` with the class's instances as they are now, at least those that
    // `request` can show; a failure code fails the query. May be empty: a class without
    // instances.
    std::function<HRESULT(const WbemRequest& request, WbemInstances& instances)> produce;
};

// A class table row whose instances come from `produce(description, request, instances)`,
// called with the class's own description; running out of memory fails the query with
// WBEM_E_OUT_OF_MEMORY.
template <typename Produce>
WbemClass MakeClassRow(WbemObjectBuilder description, Produce produce) {
    WbemClass row{description, {}};
    row.produce = [description = std::move(description), produce](const WbemRequest& request,
                                                                  WbemInstances& instances) {
        try {
            return produce(description, request, instances);
        } catch (const std::bad_alloc&) {
            return Hr(WBEM_E_OUT_OF_MEMORY);
        }
    };
    return row;
}

// COM interfaces have no virtual destructor; this object is deleted only by its own Release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class WbemServices : public IWbemServices, public IClientSecurity {
  public:
    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IWbemServices
    HRESULT STDMETHODCALLTYPE OpenNamespace(const BSTR nameSpace, LONG flags, IWbemContext* context,
                                            IWbemServices** services,
                                            IWbemCallResult** result) override;
    HRESULT STDMETHODCALLTYPE CancelAsyncCall(IWbemObjectSink* sink) override;
    HRESULT STDMETHODCALLTYPE QueryObjectSink(LONG flags, IWbemObjectSink** sink) override;
    HRESULT STDMETHODCALLTYPE GetObject(const BSTR path, LONG flags, IWbemContext* context,
                                        IWbemClassObject** object,
                                        IWbemCallResult** result) override;
    HRESULT STDMETHODCALLTYPE GetObjectAsync(const BSTR path, LONG flags, IWbemContext* context,
                                             IWbemObjectSink* sink) override;
    HRESULT STDMETHODCALLTYPE PutClass(IWbemClassObject* object, LONG flags, IWbemContext* context,
                                       IWbemCallResult** result) override;
    HRESULT STDMETHODCALLTYPE PutClassAsync(IWbemClassObject* object, LONG flags,
                                            IWbemContext* context, IWbemObjectSink* sink) override;
    HRESULT STDMETHODCALLTYPE DeleteClass(const BSTR className, LONG flags, IWbemContext* context,
                                          IWbemCallResult** result) override;
    HRESULT STDMETHODCALLTYPE DeleteClassAsync(const BSTR className, LONG flags,
                                               IWbemContext* context,
                                               IWbemObjectSink* sink) override;
    HRESULT STDMETHODCALLTYPE CreateClassEnum(const BSTR superclass, LONG flags,
                                              IWbemContext* context,
                                              IEnumWbemClassObject** enumerator) override;
    HRESULT STDMETHODCALLTYPE CreateClassEnumAsync(const BSTR superclass, LONG flags,
                                                   IWbemContext* context,
                                                   IWbemObjectSink* sink) override;
    HRESULT STDMETHODCALLTYPE PutInstance(IWbemClassObject* instance, LONG flags,
                                          IWbemContext* context, IWbemCallResult** result) override;
    HRESULT STDMETHODCALLTYPE PutInstanceAsync(IWbemClassObject* instance, LONG flags,
                                               IWbemContext* context,
                                               IWbemObjectSink* sink) override;
    HRESULT STDMETHODCALLTYPE DeleteInstance(const BSTR path, LONG flags, IWbemContext* context,
                                             IWbemCallResult** result) override;
    HRESULT STDMETHODCALLTYPE DeleteInstanceAsync(const BSTR path, LONG flags,
                                                  IWbemContext* context,
                                                  IWbemObjectSink* sink) override;
    HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR className, LONG flags,
                                                 IWbemContext* context,
                                                 IEnumWbemClassObject** enumerator) override;
    HRESULT STDMETHODCALLTYPE CreateInstanceEnumAsync(const BSTR className, LONG flags,
                                                      IWbemContext* context,
                                                      IWbemObjectSink* sink) override;
    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG flags,
                                        IWbemContext* context,
                                        IEnumWbemClassObject** enumerator) override;
    HRESULT STDMETHODCALLTYPE ExecQueryAsync(const BSTR language, const BSTR query, LONG flags,
                                             IWbemContext* context, IWbemObjectSink* sink) override;
    HRESULT STDMETHODCALLTYPE ExecNotificationQuery(const BSTR language, const BSTR query,
                                                    LONG flags, IWbemContext* context,
                                                    IEnumWbemClassObject** enumerator) override;
    HRESULT STDMETHODCALLTYPE ExecNotificationQueryAsync(const BSTR language, const BSTR query,
                                                         LONG flags, IWbemContext* context,
                                                         IWbemObjectSink* sink) override;
    HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR path, const BSTR method, LONG flags,
                                         IWbemContext* context, IWbemClassObject* inParams,
                                         IWbemClassObject** outParams,
                                         IWbemCallResult** result) override;
    HRESULT STDMETHODCALLTYPE ExecMethodAsync(const BSTR path, const BSTR method, LONG flags,
                                              IWbemContext* context, IWbemClassObject* inParams,
                                              IWbemObjectSink* sink) override;

    // IClientSecurity
    HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown* proxy, DWORD* authnService,
                                           DWORD* authzService, OLECHAR** serverPrincipal,
                                           DWORD* authnLevel, DWORD* impersonationLevel,
                                           void** authInfo, DWORD* capabilities) override;
    HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown* proxy, DWORD authnService, DWORD authzService,
                                         OLECHAR* serverPrincipal, DWORD authnLevel,
                                         DWORD impersonationLevel, void* authInfo,
                                         DWORD capabilities) override;
    HRESULT STDMETHODCALLTYPE CopyProxy(IUnknown* proxy, IUnknown** copy) override;

    // The namespace as objects name it, for example root\cimv2.
    const std::wstring& NamespacePath() const { return nameSpace_; }

  protected:
    explicit WbemServices(std::wstring_view nameSpace);
    virtual ~WbemServices();

    void AddClass(WbemClass row);
    void ClearClasses() { classes_.clear(); }
    const WbemClass* FindClass(std::wstring_view name) const;
    // The class's instances as they are now (at least those `request` can show), stamped with
    // this namespace.
    HRESULT ProduceInstances(const WbemClass& row, const WbemRequest& request,
                             WbemInstances& instances) const;
    // The instance whose __RELPATH is `relativePath` (letter case ignored), or empty.
    HRESULT FindInstance(std::wstring_view relativePath, ComPtr<IWbemClassObject>& instance) const;

    // Hooks for derived services that wrap what they hand out (a recording fake, for example).
    virtual HRESULT MakeEnumerator(WbemInstances objects, IEnumWbemClassObject** enumerator);
    virtual ComPtr<IWbemClassObject> Deliver(ComPtr<IWbemClassObject> object);

  private:
    RefCount refs_;
    std::wstring nameSpace_;
    std::vector<WbemClass> classes_;
    DWORD authnService_ = 0;
    DWORD authzService_ = 0;
    DWORD authnLevel_ = 0;
    DWORD impersonationLevel_ = 0;
    DWORD capabilities_ = 0;
};
#pragma GCC diagnostic pop

// Creates a services object of type `Services` and hands it out in `services`.
template <typename Services>
HRESULT CreateServices(IWbemServices** services) {
    if (!services) return E_POINTER;
    *services = nullptr;
    try {
        *services = MakeComObject<Services>().detach();
        return S_OK;
    } catch (const std::bad_alloc&) {
        return Hr(WBEM_E_OUT_OF_MEMORY);
    }
}

// The object path without its \\server\namespace: prefix.
std::wstring_view StripNamespacePrefix(std::wstring_view path);

}  // namespace wmi_service
