#include "support/fake_wmi.h"

#include "base/text.h"
#include "platform/wbem_status.h"
#include "wmi_service/bstr.h"
#include "wmi_service/com_object.h"
#include "wmi_service/wbem_enumerator.h"
#include "wmi_service/wbem_locator.h"
#include "wmi_service/wbem_services.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <new>
#include <utility>

using wmi_service::MakeComObject;

namespace fake_wmi_detail {

struct FailRule {
    std::string prefix;
    HRESULT code;
    std::optional<int> left;
};

struct ClassEntry {
    std::wstring name;
    std::optional<WbemObjectBuilder> classObject;
    std::vector<WbemObjectBuilder> instances;
};

struct NamespaceState {
    std::wstring path;
    std::vector<ClassEntry> classes;
    std::vector<std::pair<std::wstring, FakeNamespace::MethodHandler>> methods;

    ClassEntry& Entry(std::wstring_view name) {
        for (ClassEntry& entry : classes) {
            if (EqualsIgnoreCase(entry.name, name)) return entry;
        }
        classes.push_back(ClassEntry{std::wstring(name), std::nullopt, {}});
        return classes.back();
    }
    const FakeNamespace::MethodHandler* Handler(std::wstring_view method) const {
        for (const auto& [name, handler] : methods) {
            if (EqualsIgnoreCase(name, method)) return &handler;
        }
        return nullptr;
    }
};

struct State {
    std::vector<std::string> calls;
    std::vector<FailRule> rules;
    std::vector<std::shared_ptr<NamespaceState>> namespaces;
    long live = 0;
    ComPtr<IWbemClassObject> lastMethodInput;

    // Records the call and answers the code of the first rule that matches it, if any.
    std::optional<HRESULT> Record(std::string line) {
        calls.push_back(line);
        for (FailRule& rule : rules) {
            if (line.compare(0, rule.prefix.size(), rule.prefix) != 0) continue;
            if (rule.left) {
                if (*rule.left <= 0) continue;
                --*rule.left;
            }
            return rule.code;
        }
        return std::nullopt;
    }
};

}  // namespace fake_wmi_detail

namespace {

using fake_wmi_detail::NamespaceState;
using fake_wmi_detail::State;
using StatePtr = std::shared_ptr<State>;

// A recorded text argument: its UTF-8, or "null" for none.
std::string Utf8OrNull(const wchar_t* text) { return text ? ToUtf8(text) : "null"; }

std::string Hex(unsigned long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "0x%lx", value);
    return buffer;
}

std::string Flags(LONG flags) { return "flags=" + Hex(static_cast<unsigned long>(flags)); }

std::string ScalarText(const VARIANT& value) {
    switch (V_VT(&value)) {
        case VT_EMPTY:
            return "EMPTY";
        case VT_NULL:
            return "NULL";
        case VT_BSTR:
            return ToUtf8(wmi_service::BstrText(V_BSTR(&value)));
        case VT_BOOL:
            return V_BOOL(&value) ? "true" : "false";
        case VT_I1:
            return std::to_string(V_I1(&value));
        case VT_UI1:
            return std::to_string(V_UI1(&value));
        case VT_I2:
            return std::to_string(V_I2(&value));
        case VT_UI2:
            return std::to_string(V_UI2(&value));
        case VT_I4:
            return std::to_string(V_I4(&value));
        case VT_UI4:
            return std::to_string(V_UI4(&value));
        case VT_INT:
            return std::to_string(V_INT(&value));
        case VT_UINT:
            return std::to_string(V_UINT(&value));
        default:
            return "vt=" + std::to_string(V_VT(&value));
    }
}

// A value as a Put line shows it: text as is, numbers in decimal, {a,b} for arrays.
std::string ValueText(const VARIANT* value) {
    if (!value) return "NULL";
    if (!(V_VT(value) & VT_ARRAY)) return ScalarText(*value);
    SAFEARRAY* array = V_ARRAY(value);
    const auto element = static_cast<VARTYPE>(V_VT(value) & ~VT_ARRAY);
    LONG lower = 0;
    LONG upper = -1;
    if (!array || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(array, 1, &upper))) {
        return "{?}";
    }
    std::string text = "{";
    for (LONG i = lower; i <= upper; ++i) {
        if (i != lower) text += ",";
        wmi_service::Variant item;
        if (element == VT_BSTR) {
            BSTR held = nullptr;
            if (SUCCEEDED(SafeArrayGetElement(array, &i, &held))) {
                V_VT(item.get()) = VT_BSTR;
                V_BSTR(item.get()) = held;
            }
        } else if (element == VT_I4) {
            V_VT(item.get()) = VT_I4;
            static_cast<void>(SafeArrayGetElement(array, &i, &V_I4(item.get())));
        } else {
            V_VT(item.get()) = element;
        }
        text += ScalarText(*item.get());
    }
    return text + "}";
}

// COM interfaces have no virtual destructor; these objects are deleted only by their Release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// Counts itself among the fake's live objects for as long as it exists.
class LiveCount {
  public:
    explicit LiveCount(StatePtr state) : state_(std::move(state)) { ++state_->live; }
    ~LiveCount() { --state_->live; }
    LiveCount(const LiveCount&) = delete;
    LiveCount& operator=(const LiveCount&) = delete;
    State& state() const { return *state_; }
    const StatePtr& shared() const { return state_; }

  private:
    StatePtr state_;
};

ComPtr<IWbemClassObject> Wrap(const StatePtr& state, ComPtr<IWbemClassObject> inner);

class RecordingObject final : public wmi_service::ComObject<IWbemClassObject> {
  public:
    RecordingObject(StatePtr state, ComPtr<IWbemClassObject> inner)
        : ComObject(IID_IWbemClassObject), live_(std::move(state)), inner_(std::move(inner)) {}

    IWbemClassObject* Inner() const { return inner_.get(); }

    HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet** set) override {
        return inner_->GetQualifierSet(set);
    }
    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE* type,
                                  LONG* flavor) override {
        std::string line = "Get " + Utf8OrNull(name);
        if (flags != 0) line += " " + Flags(flags);
        if (type) line += " type";
        if (flavor) line += " flavor";
        if (const auto code = live_.state().Record(line)) {
            if (value) VariantInit(value);
            return *code;
        }
        return inner_->Get(name, flags, value, type, flavor);
    }
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE type) override {
        std::string line = "Put " + Utf8OrNull(name) + "=" + ValueText(value);
        if (type != 0) line += " type=" + std::to_string(type);
        if (flags != 0) line += " " + Flags(flags);
        if (const auto code = live_.state().Record(line)) return *code;
        return inner_->Put(name, flags, value, type);
    }
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR name) override { return inner_->Delete(name); }
    HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR qualifier, LONG flags, VARIANT* value,
                                       SAFEARRAY** names) override {
        return inner_->GetNames(qualifier, flags, value, names);
    }
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG flags) override {
        return inner_->BeginEnumeration(flags);
    }
    HRESULT STDMETHODCALLTYPE Next(LONG flags, BSTR* name, VARIANT* value, CIMTYPE* type,
                                   LONG* flavor) override {
        return inner_->Next(flags, name, value, type, flavor);
    }
    HRESULT STDMETHODCALLTYPE EndEnumeration() override { return inner_->EndEnumeration(); }
    HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR property,
                                                      IWbemQualifierSet** set) override {
        return inner_->GetPropertyQualifierSet(property, set);
    }
    HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject** copy) override {
        return WrapResult("Clone", copy,
                          [&](IWbemClassObject** raw) { return inner_->Clone(raw); });
    }
    HRESULT STDMETHODCALLTYPE GetObjectText(LONG flags, BSTR* text) override {
        return inner_->GetObjectText(flags, text);
    }
    HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG flags, IWbemClassObject** derived) override {
        return inner_->SpawnDerivedClass(flags, derived);
    }
    HRESULT STDMETHODCALLTYPE SpawnInstance(LONG flags, IWbemClassObject** instance) override {
        std::string line = "SpawnInstance";
        if (flags != 0) line += " " + Flags(flags);
        return WrapResult(line, instance, [&](IWbemClassObject** raw) {
            return inner_->SpawnInstance(flags, raw);
        });
    }
    HRESULT STDMETHODCALLTYPE CompareTo(LONG flags, IWbemClassObject* other) override {
        return inner_->CompareTo(flags, other);
    }
    HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR name, BSTR* className) override {
        return inner_->GetPropertyOrigin(name, className);
    }
    HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR ancestor) override {
        return inner_->InheritsFrom(ancestor);
    }
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR name, LONG flags, IWbemClassObject** in,
                                        IWbemClassObject** out) override {
        std::string line = "GetMethod " + Utf8OrNull(name);
        if (in) line += " in";
        if (out) line += " out";
        if (flags != 0) line += " " + Flags(flags);
        if (in) *in = nullptr;
        if (out) *out = nullptr;
        if (const auto code = live_.state().Record(line)) return *code;
        ComPtr<IWbemClassObject> rawIn;
        ComPtr<IWbemClassObject> rawOut;
        const HRESULT hr = inner_->GetMethod(name, flags, in ? rawIn.put() : nullptr,
                                             out ? rawOut.put() : nullptr);
        try {
            if (in) *in = Wrap(live_.shared(), std::move(rawIn)).detach();
            if (out) *out = Wrap(live_.shared(), std::move(rawOut)).detach();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR name, LONG flags, IWbemClassObject* in,
                                        IWbemClassObject* out) override {
        return inner_->PutMethod(name, flags, in, out);
    }
    HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR name) override {
        return inner_->DeleteMethod(name);
    }
    HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG flags) override {
        return inner_->BeginMethodEnumeration(flags);
    }
    HRESULT STDMETHODCALLTYPE NextMethod(LONG flags, BSTR* name, IWbemClassObject** in,
                                         IWbemClassObject** out) override {
        return inner_->NextMethod(flags, name, in, out);
    }
    HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override {
        return inner_->EndMethodEnumeration();
    }
    HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR method,
                                                    IWbemQualifierSet** set) override {
        return inner_->GetMethodQualifierSet(method, set);
    }
    HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR method, BSTR* className) override {
        return inner_->GetMethodOrigin(method, className);
    }

  private:
    // Records `line`, then runs `call` and hands out its object wrapped.
    template <typename Call>
    HRESULT WrapResult(const std::string& line, IWbemClassObject** result, Call call) {
        if (result) *result = nullptr;
        if (const auto code = live_.state().Record(line)) return *code;
        if (!result) return call(nullptr);
        ComPtr<IWbemClassObject> raw;
        const HRESULT hr = call(raw.put());
        try {
            *result = Wrap(live_.shared(), std::move(raw)).detach();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return hr;
    }

    LiveCount live_;
    ComPtr<IWbemClassObject> inner_;
};

ComPtr<IWbemClassObject> Wrap(const StatePtr& state, ComPtr<IWbemClassObject> inner) {
    if (!inner) return {};
    return ComPtr<IWbemClassObject>(
        MakeComObject<RecordingObject>(state, std::move(inner)).detach());
}

class RecordingEnumerator final : public wmi_service::ComObject<IEnumWbemClassObject> {
  public:
    RecordingEnumerator(StatePtr state, ComPtr<IEnumWbemClassObject> inner)
        : ComObject(IID_IEnumWbemClassObject), live_(std::move(state)), inner_(std::move(inner)) {}

    HRESULT STDMETHODCALLTYPE Reset() override {
        if (const auto code = live_.state().Record("Reset")) return *code;
        return inner_->Reset();
    }
    HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects,
                                   ULONG* returned) override {
        const std::string line =
            "Next timeout=" + std::to_string(timeout) + " count=" + std::to_string(count);
        if (const auto code = live_.state().Record(line)) {
            if (returned) *returned = 0;
            if (objects) {
                for (ULONG i = 0; i < count; ++i) objects[i] = nullptr;
            }
            return *code;
        }
        return inner_->Next(timeout, count, objects, returned);
    }
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG count, IWbemObjectSink* sink) override {
        return inner_->NextAsync(count, sink);
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject** copy) override {
        if (copy) *copy = nullptr;
        if (const auto code = live_.state().Record("Clone enumerator")) return *code;
        return inner_->Clone(copy);
    }
    HRESULT STDMETHODCALLTYPE Skip(LONG timeout, ULONG count) override {
        const std::string line =
            "Skip timeout=" + std::to_string(timeout) + " count=" + std::to_string(count);
        if (const auto code = live_.state().Record(line)) return *code;
        return inner_->Skip(timeout, count);
    }

  private:
    LiveCount live_;
    ComPtr<IEnumWbemClassObject> inner_;
};

std::wstring WithoutLocalServer(std::wstring_view path) {
    if (path.starts_with(L"\\\\.\\") || path.starts_with(L"//./")) path.remove_prefix(4);
    return std::wstring(path);
}

class RecordingServices final : public wmi_service::WbemServices {
  public:
    RecordingServices(StatePtr state, std::shared_ptr<NamespaceState> nameSpace,
                      std::wstring connectedAs)
        : WbemServices(WithoutLocalServer(nameSpace->path)),
          live_(std::move(state)),
          nameSpace_(std::move(nameSpace)),
          connectedAs_(std::move(connectedAs)) {}

    HRESULT STDMETHODCALLTYPE GetObject(const BSTR path, LONG flags, IWbemContext* context,
                                        IWbemClassObject** object,
                                        IWbemCallResult** result) override {
        if (const auto code =
                Record("GetObject " + Utf8OrNull(path) + " " + Flags(flags), context)) {
            if (object) *object = nullptr;
            if (result) *result = nullptr;
            return *code;
        }
        return Sync([&] { return WbemServices::GetObject(path, flags, context, object, result); });
    }
    HRESULT STDMETHODCALLTYPE CreateInstanceEnum(const BSTR className, LONG flags,
                                                 IWbemContext* context,
                                                 IEnumWbemClassObject** enumerator) override {
        const std::string line = "CreateInstanceEnum " + Utf8OrNull(className) + " " + Flags(flags);
        if (const auto code = Record(line, context)) {
            if (enumerator) *enumerator = nullptr;
            return *code;
        }
        return Sync([&] {
            return WbemServices::CreateInstanceEnum(className, flags, context, enumerator);
        });
    }
    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG flags,
                                        IWbemContext* context,
                                        IEnumWbemClassObject** enumerator) override {
        const std::string line =
            "ExecQuery " + Utf8OrNull(language) + " " + Utf8OrNull(query) + " " + Flags(flags);
        if (const auto code = Record(line, context)) {
            if (enumerator) *enumerator = nullptr;
            return *code;
        }
        return Sync(
            [&] { return WbemServices::ExecQuery(language, query, flags, context, enumerator); });
    }
    HRESULT STDMETHODCALLTYPE ExecMethod(const BSTR path, const BSTR method, LONG flags,
                                         IWbemContext* context, IWbemClassObject* inParams,
                                         IWbemClassObject** outParams,
                                         IWbemCallResult** result) override {
        if (outParams) *outParams = nullptr;
        if (result) *result = nullptr;
        const std::string line =
            "ExecMethod " + Utf8OrNull(path) + " " + Utf8OrNull(method) + " " + Flags(flags);
        if (const auto code = Record(line, context)) return *code;
        // The handler and the test read the arguments from a copy the code under test does
        // not see, so those reads are not traffic.
        ComPtr<IWbemClassObject> arguments;
        if (auto* recorded = dynamic_cast<RecordingObject*>(inParams)) {
            static_cast<void>(recorded->Inner()->Clone(arguments.put()));
        } else {
            arguments = ComPtr<IWbemClassObject>::Share(inParams);
        }
        live_.state().lastMethodInput = arguments;
        const FakeNamespace::MethodHandler* handler = nameSpace_->Handler(method ? method : L"");
        if (!handler) return Hr(WBEM_E_INVALID_METHOD);
        ComPtr<IWbemClassObject> output;
        const HRESULT hr = (*handler)(arguments.get(), output);
        try {
            if (outParams) *outParams = Wrap(live_.shared(), std::move(output)).detach();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown* proxy, DWORD authnService, DWORD authzService,
                                         OLECHAR* principal, DWORD authnLevel, DWORD impLevel,
                                         void* authInfo, DWORD capabilities) override {
        std::string line =
            "SetBlanket authn=" + std::to_string(authnService) +
            " authz=" + std::to_string(authzService) + " level=" + std::to_string(authnLevel) +
            " imp=" + std::to_string(impLevel) + " caps=" + std::to_string(capabilities);
        if (principal) line += " principal=" + Utf8OrNull(principal);
        if (authInfo) line += " identity";
        if (const auto code = live_.state().Record(line)) return *code;
        return WbemServices::SetBlanket(proxy, authnService, authzService, principal, authnLevel,
                                        impLevel, authInfo, capabilities);
    }
    HRESULT STDMETHODCALLTYPE QueryBlanket(IUnknown* proxy, DWORD* authnService,
                                           DWORD* authzService, OLECHAR** principal,
                                           DWORD* authnLevel, DWORD* impLevel, void** authInfo,
                                           DWORD* capabilities) override {
        if (const auto code = live_.state().Record("QueryBlanket")) return *code;
        return WbemServices::QueryBlanket(proxy, authnService, authzService, principal, authnLevel,
                                          impLevel, authInfo, capabilities);
    }

  protected:
    HRESULT MakeEnumerator(wmi_service::WbemInstances objects,
                           IEnumWbemClassObject** enumerator) override {
        ComPtr<IEnumWbemClassObject> inner;
        const HRESULT hr = wmi_service::CreateWbemEnumerator(std::move(objects), inner.put());
        if (FAILED(hr)) return hr;
        *enumerator = MakeComObject<RecordingEnumerator>(live_.shared(), std::move(inner)).detach();
        return Hr(WBEM_S_NO_ERROR);
    }
    ComPtr<IWbemClassObject> Deliver(ComPtr<IWbemClassObject> object) override {
        return Wrap(live_.shared(), std::move(object));
    }

  private:
    ~RecordingServices() override {
        live_.state().calls.push_back("Release services " + ToUtf8(connectedAs_));
    }

    std::optional<HRESULT> Record(std::string line, IWbemContext* context) {
        if (context) line += " context";
        return live_.state().Record(std::move(line));
    }

    // Runs a base call on the class table as the namespace holds it now.
    template <typename Call>
    HRESULT Sync(Call call) {
        try {
            ClearClasses();
            for (const fake_wmi_detail::ClassEntry& entry : nameSpace_->classes) {
                if (!entry.classObject && entry.instances.empty()) continue;
                wmi_service::WbemClass row{
                    entry.classObject ? *entry.classObject : entry.instances.front(), {}};
                std::shared_ptr<NamespaceState> nameSpace = nameSpace_;
                std::wstring name = entry.name;
                row.produce = [nameSpace, name](const wmi_service::WbemRequest&,
                                                wmi_service::WbemInstances& instances) -> HRESULT {
                    for (const WbemObjectBuilder& builder : nameSpace->Entry(name).instances) {
                        instances.push_back(builder.Build());
                    }
                    return Hr(WBEM_S_NO_ERROR);
                };
                AddClass(std::move(row));
            }
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        return call();
    }

    LiveCount live_;
    std::shared_ptr<NamespaceState> nameSpace_;
    std::wstring connectedAs_;
};

class FakeLocator final : public wmi_service::ComObject<IWbemLocator> {
  public:
    explicit FakeLocator(StatePtr state) : ComObject(IID_IWbemLocator), live_(std::move(state)) {}

    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR nameSpace, const BSTR user,
                                            const BSTR password, const BSTR locale, LONG flags,
                                            const BSTR authority, IWbemContext* context,
                                            IWbemServices** services) override {
        if (services) *services = nullptr;
        std::string line = "ConnectServer " + Utf8OrNull(nameSpace) + " " + Flags(flags);
        if (user) line += " user=" + Utf8OrNull(user);
        if (password) line += " password=" + Utf8OrNull(password);
        if (locale) line += " locale=" + Utf8OrNull(locale);
        if (authority) line += " authority=" + Utf8OrNull(authority);
        if (context) line += " context";
        if (const auto code = live_.state().Record(line)) return *code;
        if (!nameSpace || !services) return Hr(WBEM_E_INVALID_PARAMETER);
        for (const std::shared_ptr<NamespaceState>& candidate : live_.state().namespaces) {
            if (!wmi_service::IsSameNamespace(nameSpace, candidate->path)) continue;
            try {
                *services =
                    MakeComObject<RecordingServices>(live_.shared(), candidate, nameSpace).detach();
            } catch (const std::bad_alloc&) {
                return E_OUTOFMEMORY;
            }
            return Hr(WBEM_S_NO_ERROR);
        }
        return Hr(WBEM_E_INVALID_NAMESPACE);
    }

  private:
    LiveCount live_;
};

class FakeLocatorFactory final : public wmi_service::ComObject<IClassFactory> {
  public:
    explicit FakeLocatorFactory(StatePtr state)
        : ComObject(IID_IClassFactory), state_(std::move(state)) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (object) *object = nullptr;
        if (const auto code = state_->Record("CoCreateInstance WbemLocator")) return *code;
        if (outer) return CLASS_E_NOAGGREGATION;
        try {
            return wmi_service::QueryOut(MakeComObject<FakeLocator>(state_), riid, object);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL /*lock*/) override { return S_OK; }

  private:
    StatePtr state_;
};

#pragma GCC diagnostic pop

}  // namespace

FakeNamespace::FakeNamespace(std::shared_ptr<NamespaceState> state) : state_(std::move(state)) {}

FakeNamespace& FakeNamespace::Add(const WbemObjectBuilder& instance) {
    state_->Entry(instance.Data().className).instances.push_back(instance.Instance());
    return *this;
}

FakeNamespace& FakeNamespace::AddClass(const WbemObjectBuilder& classObject) {
    state_->Entry(classObject.Data().className).classObject = classObject;
    return *this;
}

FakeNamespace& FakeNamespace::SetProperty(std::wstring_view className, std::wstring_view property,
                                          Variant value, CIMTYPE type) {
    for (WbemObjectBuilder& instance : state_->Entry(className).instances) {
        instance.Set(property, value, type);
    }
    return *this;
}

FakeNamespace& FakeNamespace::SetProperty(std::wstring_view className, std::wstring_view property,
                                          std::wstring_view text) {
    return SetProperty(className, property, Variant::String(text), CIM_STRING);
}

FakeNamespace& FakeNamespace::MethodReturns(std::wstring_view method, Variant value) {
    return OnMethod(method, [value](IWbemClassObject*, ComPtr<IWbemClassObject>& out) {
        out = WbemObjectBuilder::Parameters().Set(L"Return", value, CIM_UINT32).Instance().Build();
        return Hr(WBEM_S_NO_ERROR);
    });
}

FakeNamespace& FakeNamespace::MethodWithoutOutput(std::wstring_view method) {
    return OnMethod(method, [](IWbemClassObject*, ComPtr<IWbemClassObject>& out) {
        out.reset();
        return Hr(WBEM_S_NO_ERROR);
    });
}

FakeNamespace& FakeNamespace::OnMethod(std::wstring_view method, MethodHandler handler) {
    for (auto& [name, existing] : state_->methods) {
        if (EqualsIgnoreCase(name, method)) {
            existing = std::move(handler);
            return *this;
        }
    }
    state_->methods.emplace_back(std::wstring(method), std::move(handler));
    return *this;
}

FakeWmi::FakeWmi() : state_(std::make_shared<State>()) {
    initResult_ = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ComPtr<FakeLocatorFactory> factory = MakeComObject<FakeLocatorFactory>(state_);
    registerResult_ = CoRegisterClassObject(CLSID_WbemLocator, factory.get(), CLSCTX_INPROC_SERVER,
                                            REGCLS_MULTIPLEUSE, &cookie_);
    if (FAILED(registerResult_)) {
        ADD_FAILURE() << "CoRegisterClassObject for CLSID_WbemLocator failed: "
                      << Hex(static_cast<unsigned long>(registerResult_));
    }
}

FakeWmi::~FakeWmi() {
    // A handler may hold its own namespace (to change it); drop the handlers to break the cycle.
    for (const std::shared_ptr<NamespaceState>& nameSpace : state_->namespaces) {
        nameSpace->methods.clear();
    }
    if (SUCCEEDED(registerResult_)) CoRevokeClassObject(cookie_);
    if (SUCCEEDED(initResult_)) CoUninitialize();
}

FakeNamespace FakeWmi::Namespace(std::wstring_view path) {
    for (const std::shared_ptr<NamespaceState>& existing : state_->namespaces) {
        if (wmi_service::IsSameNamespace(path, existing->path)) return FakeNamespace(existing);
    }
    auto created = std::make_shared<NamespaceState>();
    created->path = path;
    state_->namespaces.push_back(created);
    return FakeNamespace(created);
}

void FakeWmi::Fail(std::string_view prefix, HRESULT code, std::optional<int> times) {
    state_->rules.push_back(fake_wmi_detail::FailRule{std::string(prefix), code, times});
}

std::vector<std::string> FakeWmi::Calls() const { return state_->calls; }

std::vector<std::string> FakeWmi::CallsStartingWith(std::string_view prefix) const {
    std::vector<std::string> matching;
    for (const std::string& call : state_->calls) {
        if (call.starts_with(prefix)) matching.push_back(call);
    }
    return matching;
}

void FakeWmi::ClearCalls() { state_->calls.clear(); }

long FakeWmi::LiveObjects() const { return state_->live; }

ComPtr<IWbemClassObject> FakeWmi::LastMethodInput() const { return state_->lastMethodInput; }
