#include "wmi_service/wbem_services.h"

#include "base/text.h"
#include "wmi_service/bstr.h"
#include "wmi_service/wbem_enumerator.h"
#include "wmi_service/wql.h"

#include <new>
#include <utility>

namespace wmi_service {

namespace {

// Objects handed out by the in-memory namespaces name the local server this way.
constexpr std::wstring_view kLocalServer = L".";

template <typename T>
HRESULT NotSupported(T** out) {
    if (out) *out = nullptr;
    return Hr(WBEM_E_NOT_SUPPORTED);
}

HRESULT NotSupported() { return Hr(WBEM_E_NOT_SUPPORTED); }

bool IsKnownProperty(const WbemObjectData& description, std::wstring_view name) {
    return IsSystemPropertyName(name) || description.FindProperty(name) != nullptr;
}

// The property's text form for a WHERE comparison; nothing for NULL or a failed read.
std::optional<std::wstring> ComparableText(IWbemClassObject* object, const std::wstring& name) {
    Variant value;
    if (FAILED(object->Get(name.c_str(), 0, value.put(), nullptr, nullptr))) return std::nullopt;
    if (value.Type() == VT_NULL || value.Type() == VT_EMPTY) return std::nullopt;
    if (value.Type() == VT_BSTR) return BstrText(V_BSTR(value.get()));
    Variant text;
    if (FAILED(VariantChangeType(text.put(), value.get(), 0, VT_BSTR))) return std::nullopt;
    return BstrText(V_BSTR(text.get()));
}

bool Matches(IWbemClassObject* object, const WqlCondition& condition) {
    const std::optional<std::wstring> text = ComparableText(object, condition.property);
    return text && EqualsIgnoreCase(*text, condition.text);
}

// A copy of `object` in which the properties that the query did not select read as NULL.
HRESULT Project(IWbemClassObject* object, const WbemObjectData& description,
                const std::vector<std::wstring>& selected, ComPtr<IWbemClassObject>& projected) {
    HRESULT hr = object->Clone(projected.put());
    if (FAILED(hr)) return hr;
    for (const WbemProperty& property : description.properties) {
        bool wanted = false;
        for (const std::wstring& name : selected)
            wanted = wanted || EqualsIgnoreCase(name, property.name);
        if (wanted) continue;
        Variant null = Variant::Null();
        hr = projected->Put(property.name.c_str(), 0, null.get(), 0);
        // An instance that lacks a property of its class has nothing to hide.
        if (FAILED(hr) && hr != Hr(WBEM_E_NOT_FOUND)) return hr;
    }
    return WBEM_S_NO_ERROR;
}

// The key text of a path `Class.Key="text"` that names the one key of `description`; nothing
// for any other form, which leaves the choice to the comparison of whole paths.
std::optional<std::wstring> PathKeyText(std::wstring_view relativePath,
                                        const WbemObjectData& description) {
    if (description.keys.size() != 1) return std::nullopt;
    const std::size_t dot = relativePath.find(L'.');
    if (dot == std::wstring_view::npos) return std::nullopt;
    const std::wstring_view keys = relativePath.substr(dot + 1);
    const std::size_t equals = keys.find(L'=');
    if (equals == std::wstring_view::npos ||
        !EqualsIgnoreCase(keys.substr(0, equals), description.keys.front())) {
        return std::nullopt;
    }
    std::wstring_view text = keys.substr(equals + 1);
    if (text.size() < 2 || text.front() != L'"' || text.back() != L'"') return std::nullopt;
    text = text.substr(1, text.size() - 2);
    // Escaped characters would need unescaping; such paths take the long way.
    if (text.find_first_of(L"\\\"") != std::wstring_view::npos) return std::nullopt;
    return std::wstring(text);
}

// What a parsed query can show: its select list and the property its condition tests, and the
// key when the condition compares the class's one key.
WbemRequest QueryRequest(const WqlQuery& query, const WbemObjectData& description) {
    WbemRequest request;
    if (!query.properties.empty()) {
        request.properties = query.properties;
        if (query.where) request.properties.push_back(query.where->property);
    }
    if (query.where && description.keys.size() == 1 &&
        EqualsIgnoreCase(query.where->property, description.keys.front())) {
        request.key = query.where->text;
    }
    return request;
}

}  // namespace

bool WbemRequest::Wants(std::wstring_view property) const {
    if (properties.empty()) return true;
    for (const std::wstring& name : properties) {
        if (EqualsIgnoreCase(name, property)) return true;
    }
    return false;
}

bool WbemRequest::MayMatch(std::wstring_view keyText) const {
    return !key || EqualsIgnoreCase(*key, keyText);
}

std::wstring_view StripNamespacePrefix(std::wstring_view path) {
    // Server names may hold dots, so the keys start at the first = or quote.
    const std::size_t keyStart = path.find_first_of(L"=\"");
    const std::size_t colon = path.substr(0, keyStart).find(L':');
    return colon == std::wstring_view::npos ? path : path.substr(colon + 1);
}

WbemServices::WbemServices(std::wstring_view nameSpace) : nameSpace_(nameSpace) {}

WbemServices::~WbemServices() = default;

void WbemServices::AddClass(WbemClass row) { classes_.push_back(std::move(row)); }

const WbemClass* WbemServices::FindClass(std::wstring_view name) const {
    for (const WbemClass& row : classes_) {
        if (EqualsIgnoreCase(row.description.Data().className, name)) return &row;
    }
    return nullptr;
}

HRESULT WbemServices::ProduceInstances(const WbemClass& row, const WbemRequest& request,
                                       WbemInstances& instances) const {
    instances.clear();
    if (!row.produce) return WBEM_S_NO_ERROR;
    const HRESULT hr = row.produce(request, instances);
    if (FAILED(hr)) {
        instances.clear();
        return hr;
    }
    for (const ComPtr<IWbemClassObject>& instance : instances) {
        if (WbemObject* object = AsWbemObject(instance.get())) {
            object->SetOrigin(kLocalServer, nameSpace_);
        }
    }
    return WBEM_S_NO_ERROR;
}

HRESULT WbemServices::FindInstance(std::wstring_view relativePath,
                                   ComPtr<IWbemClassObject>& instance) const {
    instance.reset();
    const WbemClass* row = FindClass(relativePath.substr(0, relativePath.find_first_of(L".=")));
    if (!row) return Hr(WBEM_E_INVALID_CLASS);
    WbemRequest request;
    request.key = PathKeyText(relativePath, row->description.Data());
    WbemInstances instances;
    const HRESULT hr = ProduceInstances(*row, request, instances);
    if (FAILED(hr)) return hr;
    for (ComPtr<IWbemClassObject>& candidate : instances) {
        Variant path;
        if (FAILED(candidate->Get(L"__RELPATH", 0, path.put(), nullptr, nullptr))) continue;
        if (path.Type() == VT_BSTR &&
            EqualsIgnoreCase(BstrText(V_BSTR(path.get())), relativePath)) {
            instance = std::move(candidate);
            return WBEM_S_NO_ERROR;
        }
    }
    return Hr(WBEM_E_NOT_FOUND);
}

HRESULT WbemServices::MakeEnumerator(WbemInstances objects, IEnumWbemClassObject** enumerator) {
    return CreateWbemEnumerator(std::move(objects), enumerator);
}

ComPtr<IWbemClassObject> WbemServices::Deliver(ComPtr<IWbemClassObject> object) { return object; }

HRESULT WbemServices::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IWbemServices)) {
        *object = static_cast<IWbemServices*>(this);
    } else if (IsEqualIID(riid, IID_IClientSecurity)) {
        *object = static_cast<IClientSecurity*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG WbemServices::AddRef() { return refs_.Add(); }

ULONG WbemServices::Release() {
    const ULONG left = refs_.Drop();
    if (left == 0) delete this;
    return left;
}

HRESULT WbemServices::OpenNamespace(const BSTR, LONG, IWbemContext*, IWbemServices** services,
                                    IWbemCallResult** result) {
    if (result) *result = nullptr;
    return NotSupported(services);
}

HRESULT WbemServices::CancelAsyncCall(IWbemObjectSink*) { return NotSupported(); }

HRESULT WbemServices::QueryObjectSink(LONG, IWbemObjectSink** sink) { return NotSupported(sink); }

HRESULT WbemServices::GetObject(const BSTR path, LONG /*flags*/, IWbemContext* /*context*/,
                                IWbemClassObject** object, IWbemCallResult** result) {
    if (result) *result = nullptr;
    if (!object) return Hr(WBEM_E_INVALID_PARAMETER);
    *object = nullptr;
    if (!path) return Hr(WBEM_E_INVALID_PARAMETER);
    try {
        const std::wstring_view relative = StripNamespacePrefix(path);
        ComPtr<IWbemClassObject> found;
        if (relative.find_first_of(L".=") != std::wstring_view::npos) {
            const HRESULT hr = FindInstance(relative, found);
            if (FAILED(hr)) return hr == Hr(WBEM_E_INVALID_CLASS) ? Hr(WBEM_E_NOT_FOUND) : hr;
        } else {
            const WbemClass* row = FindClass(relative);
            if (!row) return Hr(WBEM_E_NOT_FOUND);
            WbemObjectData data = row->description.Data();
            data.isClass = true;
            data.server = kLocalServer;
            data.nameSpace = nameSpace_;
            found = MakeWbemObject(std::move(data));
        }
        *object = Deliver(std::move(found)).detach();
        return WBEM_S_NO_ERROR;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WbemServices::GetObjectAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return NotSupported();
}

HRESULT WbemServices::PutClass(IWbemClassObject*, LONG, IWbemContext*, IWbemCallResult** result) {
    return NotSupported(result);
}

HRESULT WbemServices::PutClassAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) {
    return NotSupported();
}

HRESULT WbemServices::DeleteClass(const BSTR, LONG, IWbemContext*, IWbemCallResult** result) {
    return NotSupported(result);
}

HRESULT WbemServices::DeleteClassAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return NotSupported();
}

HRESULT WbemServices::CreateClassEnum(const BSTR, LONG, IWbemContext*,
                                      IEnumWbemClassObject** enumerator) {
    return NotSupported(enumerator);
}

HRESULT WbemServices::CreateClassEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return NotSupported();
}

HRESULT WbemServices::PutInstance(IWbemClassObject*, LONG, IWbemContext*,
                                  IWbemCallResult** result) {
    return NotSupported(result);
}

HRESULT WbemServices::PutInstanceAsync(IWbemClassObject*, LONG, IWbemContext*, IWbemObjectSink*) {
    return NotSupported();
}

HRESULT WbemServices::DeleteInstance(const BSTR, LONG, IWbemContext*, IWbemCallResult** result) {
    return NotSupported(result);
}

HRESULT WbemServices::DeleteInstanceAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return NotSupported();
}

HRESULT WbemServices::CreateInstanceEnum(const BSTR className, LONG /*flags*/,
                                         IWbemContext* /*context*/,
                                         IEnumWbemClassObject** enumerator) {
    if (!enumerator) return Hr(WBEM_E_INVALID_PARAMETER);
    *enumerator = nullptr;
    if (!className) return Hr(WBEM_E_INVALID_PARAMETER);
    try {
        const WbemClass* row = FindClass(className);
        if (!row) return Hr(WBEM_E_INVALID_CLASS);
        WbemInstances instances;
        const HRESULT hr = ProduceInstances(*row, WbemRequest{}, instances);
        if (FAILED(hr)) return hr;
        WbemInstances delivered;
        for (ComPtr<IWbemClassObject>& instance : instances) {
            delivered.push_back(Deliver(std::move(instance)));
        }
        return MakeEnumerator(std::move(delivered), enumerator);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WbemServices::CreateInstanceEnumAsync(const BSTR, LONG, IWbemContext*, IWbemObjectSink*) {
    return NotSupported();
}

HRESULT WbemServices::ExecQuery(const BSTR language, const BSTR query, LONG /*flags*/,
                                IWbemContext* /*context*/, IEnumWbemClassObject** enumerator) {
    if (!enumerator) return Hr(WBEM_E_INVALID_PARAMETER);
    *enumerator = nullptr;
    if (!language || !query) return Hr(WBEM_E_INVALID_PARAMETER);
    if (!EqualsIgnoreCase(language, L"WQL")) return Hr(WBEM_E_INVALID_QUERY_TYPE);
    try {
        WqlQuery parsed;
        HRESULT hr = ParseWql(query, parsed);
        if (FAILED(hr)) return hr;
        const WbemClass* row = FindClass(parsed.className);
        if (!row) return Hr(WBEM_E_INVALID_CLASS);
        const WbemObjectData& description = row->description.Data();
        for (const std::wstring& name : parsed.properties) {
            if (!IsKnownProperty(description, name)) return Hr(WBEM_E_INVALID_QUERY);
        }
        if (parsed.where && !IsKnownProperty(description, parsed.where->property)) {
            return Hr(WBEM_E_INVALID_QUERY);
        }
        WbemInstances instances;
        hr = ProduceInstances(*row, QueryRequest(parsed, description), instances);
        if (FAILED(hr)) return hr;
        WbemInstances delivered;
        for (ComPtr<IWbemClassObject>& instance : instances) {
            if (parsed.where && !Matches(instance.get(), *parsed.where)) continue;
            if (!parsed.properties.empty()) {
                ComPtr<IWbemClassObject> projected;
                hr = Project(instance.get(), description, parsed.properties, projected);
                if (FAILED(hr)) return hr;
                instance = std::move(projected);
            }
            delivered.push_back(Deliver(std::move(instance)));
        }
        return MakeEnumerator(std::move(delivered), enumerator);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WbemServices::ExecQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*,
                                     IWbemObjectSink*) {
    return NotSupported();
}

HRESULT WbemServices::ExecNotificationQuery(const BSTR, const BSTR, LONG, IWbemContext*,
                                            IEnumWbemClassObject** enumerator) {
    return NotSupported(enumerator);
}

HRESULT WbemServices::ExecNotificationQueryAsync(const BSTR, const BSTR, LONG, IWbemContext*,
                                                 IWbemObjectSink*) {
    return NotSupported();
}

HRESULT WbemServices::ExecMethod(const BSTR, const BSTR, LONG, IWbemContext*, IWbemClassObject*,
                                 IWbemClassObject** outParams, IWbemCallResult** result) {
    if (result) *result = nullptr;
    return NotSupported(outParams);
}

HRESULT WbemServices::ExecMethodAsync(const BSTR, const BSTR, LONG, IWbemContext*,
                                      IWbemClassObject*, IWbemObjectSink*) {
    return NotSupported();
}

HRESULT WbemServices::QueryBlanket(IUnknown* /*proxy*/, DWORD* authnService, DWORD* authzService,
                                   OLECHAR** serverPrincipal, DWORD* authnLevel,
                                   DWORD* impersonationLevel, void** authInfo,
                                   DWORD* capabilities) {
    if (authnService) *authnService = authnService_;
    if (authzService) *authzService = authzService_;
    if (serverPrincipal) *serverPrincipal = nullptr;
    if (authnLevel) *authnLevel = authnLevel_;
    if (impersonationLevel) *impersonationLevel = impersonationLevel_;
    if (authInfo) *authInfo = nullptr;
    if (capabilities) *capabilities = capabilities_;
    return S_OK;
}

HRESULT WbemServices::SetBlanket(IUnknown* /*proxy*/, DWORD authnService, DWORD authzService,
                                 OLECHAR* /*serverPrincipal*/, DWORD authnLevel,
                                 DWORD impersonationLevel, void* /*authInfo*/, DWORD capabilities) {
    // An in-process object has no proxy: the blanket is only remembered.
    authnService_ = authnService;
    authzService_ = authzService;
    authnLevel_ = authnLevel;
    impersonationLevel_ = impersonationLevel;
    capabilities_ = capabilities;
    return S_OK;
}

HRESULT WbemServices::CopyProxy(IUnknown* /*proxy*/, IUnknown** copy) {
    if (copy) *copy = nullptr;
    return E_NOTIMPL;
}

}  // namespace wmi_service
