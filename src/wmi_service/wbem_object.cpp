#include "wmi_service/wbem_object.h"

#include "base/text.h"
#include "wmi_service/bstr.h"

#include <new>
#include <utility>

namespace wmi_service {

namespace {

constexpr std::wstring_view kClass = L"__CLASS";
constexpr std::wstring_view kGenus = L"__GENUS";
constexpr std::wstring_view kSuperclass = L"__SUPERCLASS";
constexpr std::wstring_view kDynasty = L"__DYNASTY";
constexpr std::wstring_view kDerivation = L"__DERIVATION";
constexpr std::wstring_view kPropertyCount = L"__PROPERTY_COUNT";
constexpr std::wstring_view kRelativePath = L"__RELPATH";
constexpr std::wstring_view kPath = L"__PATH";
constexpr std::wstring_view kNamespace = L"__NAMESPACE";
constexpr std::wstring_view kServer = L"__SERVER";

CIMTYPE SystemPropertyType(std::wstring_view name) {
    if (EqualsIgnoreCase(name, kGenus) || EqualsIgnoreCase(name, kPropertyCount)) return CIM_SINT32;
    if (EqualsIgnoreCase(name, kDerivation)) return CIM_STRING | CIM_FLAG_ARRAY;
    return CIM_STRING;
}

Variant TextOrNull(const std::optional<std::wstring>& text) {
    return text ? Variant::String(*text) : Variant::Null();
}

bool IsNullValue(const VARIANT* value) {
    return !value || V_VT(value) == VT_EMPTY || V_VT(value) == VT_NULL;
}

// Stores `value` as WMI delivers a property of `type`.
HRESULT ConvertForCimType(const VARIANT* value, CIMTYPE type, Variant& stored) {
    if (IsNullValue(value)) {
        stored = Variant::Null();
        return WBEM_S_NO_ERROR;
    }
    const VARTYPE wanted = VariantTypeForCimType(type);
    if (wanted == VT_EMPTY) return Hr(WBEM_E_TYPE_MISMATCH);
    if (V_VT(value) == wanted) {
        stored = Variant::Copy(*value);
        return WBEM_S_NO_ERROR;
    }
    // Arrays are not converted element by element: the caller must give the delivered type.
    if ((wanted & VT_ARRAY) || (V_VT(value) & VT_ARRAY)) return Hr(WBEM_E_TYPE_MISMATCH);
    Variant converted;
    const HRESULT hr = VariantChangeType(converted.get(), const_cast<VARIANT*>(value), 0, wanted);
    if (hr == E_OUTOFMEMORY) return hr;
    if (FAILED(hr)) return Hr(WBEM_E_TYPE_MISMATCH);
    stored = std::move(converted);
    return WBEM_S_NO_ERROR;
}

// A key value as it stands in an object path: text quoted with \ and " escaped, other values
// in their text form.
std::optional<std::wstring> KeyText(const Variant& value) {
    if (value.Type() == VT_BSTR) {
        std::wstring quoted = L"\"";
        for (wchar_t c : BstrText(V_BSTR(value.get()))) {
            if (c == L'\\' || c == L'"') quoted += L'\\';
            quoted += c;
        }
        return quoted + L"\"";
    }
    Variant text;
    if (FAILED(VariantChangeType(text.get(), const_cast<VARIANT*>(value.get()), 0, VT_BSTR))) {
        return std::nullopt;
    }
    return BstrText(V_BSTR(text.get()));
}

}  // namespace

WbemProperty* WbemObjectData::FindProperty(std::wstring_view name) {
    for (WbemProperty& property : properties) {
        if (EqualsIgnoreCase(property.name, name)) return &property;
    }
    return nullptr;
}

const WbemProperty* WbemObjectData::FindProperty(std::wstring_view name) const {
    for (const WbemProperty& property : properties) {
        if (EqualsIgnoreCase(property.name, name)) return &property;
    }
    return nullptr;
}

const WbemMethod* WbemObjectData::FindMethod(std::wstring_view name) const {
    for (const WbemMethod& method : methods) {
        if (EqualsIgnoreCase(method.name, name)) return &method;
    }
    return nullptr;
}

bool IsSystemPropertyName(std::wstring_view name) { return name.starts_with(L"__"); }

VARTYPE VariantTypeForCimType(CIMTYPE type) {
    const bool isArray = (type & CIM_FLAG_ARRAY) != 0;
    VARTYPE element = VT_EMPTY;
    switch (type & ~CIM_FLAG_ARRAY) {
        case CIM_SINT8:
        case CIM_SINT16:
        case CIM_CHAR16:
            element = VT_I2;
            break;
        case CIM_UINT8:
            element = VT_UI1;
            break;
        // WMI delivers uint16 and uint32 as 32-bit signed integers.
        case CIM_UINT16:
        case CIM_SINT32:
        case CIM_UINT32:
            element = VT_I4;
            break;
        // 64-bit integers travel as decimal text.
        case CIM_SINT64:
        case CIM_UINT64:
        case CIM_STRING:
        case CIM_DATETIME:
        case CIM_REFERENCE:
            element = VT_BSTR;
            break;
        case CIM_REAL32:
            element = VT_R4;
            break;
        case CIM_REAL64:
            element = VT_R8;
            break;
        case CIM_BOOLEAN:
            element = VT_BOOL;
            break;
        case CIM_OBJECT:
            element = VT_UNKNOWN;
            break;
        default:
            return VT_EMPTY;
    }
    return isArray ? static_cast<VARTYPE>(element | VT_ARRAY) : element;
}

CIMTYPE CimTypeForVariantType(VARTYPE vt) {
    const bool isArray = (vt & VT_ARRAY) != 0;
    CIMTYPE element = CIM_EMPTY;
    switch (vt & ~VT_ARRAY) {
        case VT_I1:
            element = CIM_SINT8;
            break;
        case VT_UI1:
            element = CIM_UINT8;
            break;
        case VT_I2:
            element = CIM_SINT16;
            break;
        case VT_UI2:
            element = CIM_UINT16;
            break;
        case VT_I4:
        case VT_INT:
            element = CIM_SINT32;
            break;
        case VT_UI4:
        case VT_UINT:
            element = CIM_UINT32;
            break;
        case VT_R4:
            element = CIM_REAL32;
            break;
        case VT_R8:
            element = CIM_REAL64;
            break;
        case VT_BOOL:
            element = CIM_BOOLEAN;
            break;
        case VT_BSTR:
            element = CIM_STRING;
            break;
        case VT_UNKNOWN:
            element = CIM_OBJECT;
            break;
        default:
            return CIM_EMPTY;
    }
    return isArray ? (element | CIM_FLAG_ARRAY) : element;
}

WbemObject::WbemObject(WbemObjectData data)
    : ComObject(IID_IWbemClassObject), data_(std::move(data)) {}

WbemObject::~WbemObject() = default;

void WbemObject::SetOrigin(std::wstring_view server, std::wstring_view nameSpace) {
    data_.server = server;
    data_.nameSpace = nameSpace;
}

std::optional<std::wstring> WbemObject::RelativePath() const {
    if (data_.isClass) return data_.className;
    if (data_.keys.empty()) return std::nullopt;
    std::wstring path = data_.className + L".";
    bool first = true;
    for (const std::wstring& key : data_.keys) {
        const WbemProperty* property = data_.FindProperty(key);
        if (!property || property->value.Type() == VT_NULL) return std::nullopt;
        const std::optional<std::wstring> text = KeyText(property->value);
        if (!text) return std::nullopt;
        if (!first) path += L",";
        path += property->name + L"=" + *text;
        first = false;
    }
    return path;
}

std::optional<std::wstring> WbemObject::FullPath() const {
    if (data_.path) return data_.path;
    if (data_.nameSpace.empty()) return std::nullopt;
    const std::optional<std::wstring> relative = RelativePath();
    if (!relative) return std::nullopt;
    return L"\\\\" + data_.server + L"\\" + data_.nameSpace + L":" + *relative;
}

std::optional<Variant> WbemObject::SystemProperty(std::wstring_view name) const {
    if (EqualsIgnoreCase(name, kClass)) return Variant::String(data_.className);
    if (EqualsIgnoreCase(name, kGenus)) {
        return Variant::Int32(data_.isClass ? WBEM_GENUS_CLASS : WBEM_GENUS_INSTANCE);
    }
    if (EqualsIgnoreCase(name, kSuperclass)) return Variant::Null();
    if (EqualsIgnoreCase(name, kDynasty)) return Variant::String(data_.className);
    if (EqualsIgnoreCase(name, kDerivation)) return Variant::Strings({});
    if (EqualsIgnoreCase(name, kPropertyCount)) {
        return Variant::Int32(static_cast<std::int32_t>(data_.properties.size()));
    }
    if (EqualsIgnoreCase(name, kRelativePath)) return TextOrNull(RelativePath());
    if (EqualsIgnoreCase(name, kPath)) return TextOrNull(FullPath());
    if (EqualsIgnoreCase(name, kNamespace)) {
        return data_.nameSpace.empty() ? Variant::Null() : Variant::String(data_.nameSpace);
    }
    if (EqualsIgnoreCase(name, kServer)) {
        return data_.nameSpace.empty() ? Variant::Null() : Variant::String(data_.server);
    }
    return std::nullopt;
}

HRESULT WbemObject::GetQualifierSet(IWbemQualifierSet** qualifiers) {
    if (qualifiers) *qualifiers = nullptr;
    return Hr(WBEM_E_NOT_SUPPORTED);
}

HRESULT WbemObject::Get(LPCWSTR name, LONG /*flags*/, VARIANT* value, CIMTYPE* type, LONG* flavor) {
    if (!name) return Hr(WBEM_E_INVALID_PARAMETER);
    try {
        if (IsSystemPropertyName(name)) {
            std::optional<Variant> system = SystemProperty(name);
            if (!system) return Hr(WBEM_E_NOT_FOUND);
            if (value) {
                const HRESULT hr = system->CopyTo(value);
                if (FAILED(hr)) return hr;
            }
            if (type) *type = SystemPropertyType(name);
            if (flavor) *flavor = WBEM_FLAVOR_ORIGIN_SYSTEM;
            return WBEM_S_NO_ERROR;
        }
        WbemProperty* property = data_.FindProperty(name);
        if (!property) return Hr(WBEM_E_NOT_FOUND);
        if (property->deferred) {
            property->value = property->deferred();
            property->deferred = nullptr;
        }
        if (value) {
            const HRESULT hr = property->value.CopyTo(value);
            if (FAILED(hr)) return hr;
        }
        if (type) *type = property->type;
        if (flavor) *flavor = WBEM_FLAVOR_ORIGIN_LOCAL;
        return WBEM_S_NO_ERROR;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WbemObject::Put(LPCWSTR name, LONG /*flags*/, VARIANT* value, CIMTYPE type) {
    if (!name) return Hr(WBEM_E_INVALID_PARAMETER);
    if (IsSystemPropertyName(name)) return Hr(WBEM_E_READ_ONLY);
    try {
        if (WbemProperty* property = data_.FindProperty(name)) {
            if (type != 0 && type != property->type) return Hr(WBEM_E_TYPE_MISMATCH);
            property->deferred = nullptr;
            return ConvertForCimType(value, property->type, property->value);
        }
        if (!data_.isClass) return Hr(WBEM_E_NOT_FOUND);
        // A class grows a new property; its type comes from the call or from the value.
        CIMTYPE newType = type;
        if (newType == 0 && !IsNullValue(value)) newType = CimTypeForVariantType(V_VT(value));
        if (newType == CIM_EMPTY) return Hr(WBEM_E_TYPE_MISMATCH);
        WbemProperty property{std::wstring(name), newType, Variant::Null(), {}};
        const HRESULT hr = ConvertForCimType(value, newType, property.value);
        if (FAILED(hr)) return hr;
        data_.properties.push_back(std::move(property));
        return WBEM_S_NO_ERROR;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WbemObject::Delete(LPCWSTR /*name*/) { return Hr(WBEM_E_NOT_SUPPORTED); }

HRESULT WbemObject::GetNames(LPCWSTR /*qualifierName*/, LONG /*flags*/, VARIANT* /*qualifierValue*/,
                             SAFEARRAY** names) {
    if (names) *names = nullptr;
    return Hr(WBEM_E_NOT_SUPPORTED);
}

HRESULT WbemObject::BeginEnumeration(LONG /*flags*/) { return Hr(WBEM_E_NOT_SUPPORTED); }

HRESULT WbemObject::Next(LONG /*flags*/, BSTR* name, VARIANT* /*value*/, CIMTYPE* /*type*/,
                         LONG* /*flavor*/) {
    if (name) *name = nullptr;
    return Hr(WBEM_E_NOT_SUPPORTED);
}

HRESULT WbemObject::EndEnumeration() { return Hr(WBEM_E_NOT_SUPPORTED); }

HRESULT WbemObject::GetPropertyQualifierSet(LPCWSTR /*property*/, IWbemQualifierSet** qualifiers) {
    if (qualifiers) *qualifiers = nullptr;
    return Hr(WBEM_E_NOT_SUPPORTED);
}

HRESULT WbemObject::Clone(IWbemClassObject** copy) {
    if (!copy) return Hr(WBEM_E_INVALID_PARAMETER);
    *copy = nullptr;
    try {
        *copy = MakeWbemObject(data_).detach();
        return WBEM_S_NO_ERROR;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WbemObject::GetObjectText(LONG /*flags*/, BSTR* text) {
    if (text) *text = nullptr;
    return Hr(WBEM_E_NOT_SUPPORTED);
}

HRESULT WbemObject::SpawnDerivedClass(LONG /*flags*/, IWbemClassObject** newClass) {
    if (newClass) *newClass = nullptr;
    return Hr(WBEM_E_NOT_SUPPORTED);
}

HRESULT WbemObject::SpawnInstance(LONG /*flags*/, IWbemClassObject** instance) {
    if (!instance) return Hr(WBEM_E_INVALID_PARAMETER);
    *instance = nullptr;
    if (!data_.isClass) return Hr(WBEM_E_INVALID_OPERATION);
    try {
        WbemObjectData spawned = data_;
        spawned.isClass = false;
        spawned.path.reset();
        *instance = MakeWbemObject(std::move(spawned)).detach();
        return WBEM_S_NO_ERROR;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WbemObject::CompareTo(LONG /*flags*/, IWbemClassObject* /*other*/) {
    return Hr(WBEM_E_NOT_SUPPORTED);
}

HRESULT WbemObject::GetPropertyOrigin(LPCWSTR /*name*/, BSTR* className) {
    if (className) *className = nullptr;
    return Hr(WBEM_E_NOT_SUPPORTED);
}

HRESULT WbemObject::InheritsFrom(LPCWSTR /*ancestor*/) { return Hr(WBEM_E_NOT_SUPPORTED); }

HRESULT WbemObject::GetMethod(LPCWSTR name, LONG /*flags*/, IWbemClassObject** inSignature,
                              IWbemClassObject** outSignature) {
    if (inSignature) *inSignature = nullptr;
    if (outSignature) *outSignature = nullptr;
    if (!name) return Hr(WBEM_E_INVALID_PARAMETER);
    const WbemMethod* method = data_.FindMethod(name);
    if (!method) return Hr(WBEM_E_NOT_FOUND);
    if (inSignature) *inSignature = ComPtr<IWbemClassObject>(method->inSignature).detach();
    if (outSignature) *outSignature = ComPtr<IWbemClassObject>(method->outSignature).detach();
    return WBEM_S_NO_ERROR;
}

HRESULT WbemObject::PutMethod(LPCWSTR /*name*/, LONG /*flags*/, IWbemClassObject* /*in*/,
                              IWbemClassObject* /*out*/) {
    return Hr(WBEM_E_NOT_SUPPORTED);
}

HRESULT WbemObject::DeleteMethod(LPCWSTR /*name*/) { return Hr(WBEM_E_NOT_SUPPORTED); }

HRESULT WbemObject::BeginMethodEnumeration(LONG /*flags*/) { return Hr(WBEM_E_NOT_SUPPORTED); }

HRESULT WbemObject::NextMethod(LONG /*flags*/, BSTR* name, IWbemClassObject** inSignature,
                               IWbemClassObject** outSignature) {
    if (name) *name = nullptr;
    if (inSignature) *inSignature = nullptr;
    if (outSignature) *outSignature = nullptr;
    return Hr(WBEM_E_NOT_SUPPORTED);
}

HRESULT WbemObject::EndMethodEnumeration() { return Hr(WBEM_E_NOT_SUPPORTED); }

HRESULT WbemObject::GetMethodQualifierSet(LPCWSTR /*method*/, IWbemQualifierSet** qualifiers) {
    if (qualifiers) *qualifiers = nullptr;
    return Hr(WBEM_E_NOT_SUPPORTED);
}

HRESULT WbemObject::GetMethodOrigin(LPCWSTR /*method*/, BSTR* className) {
    if (className) *className = nullptr;
    return Hr(WBEM_E_NOT_SUPPORTED);
}

ComPtr<IWbemClassObject> MakeWbemObject(WbemObjectData data) {
    return ComPtr<IWbemClassObject>(MakeComObject<WbemObject>(std::move(data)).detach());
}

WbemObject* AsWbemObject(IWbemClassObject* object) { return dynamic_cast<WbemObject*>(object); }

}  // namespace wmi_service
