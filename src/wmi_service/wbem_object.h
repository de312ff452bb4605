// An in-memory WMI object (IWbemClassObject): a class or an instance with a class name, an
// ordered property list and methods, as the machine providers and the test fakes hand them out.
//
// What it models, kept simple:
// - Property names are compared without regard to letter case, as WMI does.
// - System properties: __CLASS, __GENUS (1 class, 2 instance), __SUPERCLASS (NULL), __DYNASTY,
//   __PROPERTY_COUNT, __RELPATH, __PATH, __NAMESPACE, __SERVER. __RELPATH of a class is its
//   name; of an instance Class.Key="text",Other=12 built from its key properties, NULL when it
//   has no keys or a key is NULL. __PATH is \\SERVER\NAMESPACE:RELPATH, NULL without a namespace
//   or relative path, unless a path was set explicitly. System properties cannot be Put.
// - Put with type 0 keeps the property's declared CIM type; a declared type other than the one
//   given is WBEM_E_TYPE_MISMATCH. The value is stored in the VARIANT type WMI delivers for the
//   CIM type (uint16 and uint32 as VT_I4, sint64 and uint64 as VT_BSTR, char16 as VT_I2, strings
//   and dates as VT_BSTR), converted with VariantChangeType; a scalar that cannot be converted is
//   WBEM_E_TYPE_MISMATCH. An array must already have the delivered element type. VT_EMPTY and
//   VT_NULL (or no value) store NULL.
// - Put of an unknown name adds the property to a class; on an instance it is WBEM_E_NOT_FOUND.
// - SpawnInstance of a class gives an instance with the class's properties, keys and methods;
//   the property values are the class's defaults (NULL unless the class was given a value).
// - GetMethod hands out the input and output signatures, either of which may be null.
// - Clone copies the properties; method signatures are shared with the original.
// - Qualifiers, GetNames, property enumeration and the other operations nobody calls answer
//   WBEM_E_NOT_SUPPORTED.
#pragma once

#include "platform/owners.h"
#include "platform/platform.h"
#include "wmi_service/com_object.h"
#include "wmi_service/variant.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wmi_service {

struct WbemProperty {
    std::wstring name;
    CIMTYPE type = CIM_EMPTY;
    Variant value;  // VT_NULL when the property has no value
    // Where set, `value` is produced by this on the first Get and kept from then on. The
    // machine providers hand out a setting's fixed descriptions this way: every firmware file
    // read is a question to the firmware, and most callers never look at them.
    std::function<Variant()> deferred;
};

struct WbemMethod {
    std::wstring name;
    ComPtr<IWbemClassObject> inSignature;   // may be empty: a method without inputs
    ComPtr<IWbemClassObject> outSignature;  // may be empty: a method without outputs
};

// Everything one object holds; copied by Clone and SpawnInstance.
struct WbemObjectData {
    std::wstring className;
    bool isClass = false;
    std::vector<WbemProperty> properties;
    std::vector<std::wstring> keys;  // names of the key properties, in path order
    std::vector<WbemMethod> methods;
    std::wstring server = L".";
    std::wstring nameSpace;            // for example root\cimv2; empty: the object has no path
    std::optional<std::wstring> path;  // an explicit __PATH

    WbemProperty* FindProperty(std::wstring_view name);
    const WbemProperty* FindProperty(std::wstring_view name) const;
    const WbemMethod* FindMethod(std::wstring_view name) const;
};

// True for the names of the system properties (those starting with two underscores).
bool IsSystemPropertyName(std::wstring_view name);

// The VARIANT type in which WMI delivers a value of `type` (VT_EMPTY for an unknown type).
VARTYPE VariantTypeForCimType(CIMTYPE type);

// The CIM type of a property that was created from a value of `vt` (CIM_EMPTY if none fits).
CIMTYPE CimTypeForVariantType(VARTYPE vt);

class WbemObject : public ComObject<IWbemClassObject> {
  public:
    explicit WbemObject(WbemObjectData data);

    const WbemObjectData& Data() const { return data_; }
    // Sets where the object lives, as the services object that hands it out sees it.
    void SetOrigin(std::wstring_view server, std::wstring_view nameSpace);

    // IWbemClassObject
    HRESULT STDMETHODCALLTYPE GetQualifierSet(IWbemQualifierSet** qualifiers) override;
    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE* type,
                                  LONG* flavor) override;
    HRESULT STDMETHODCALLTYPE Put(LPCWSTR name, LONG flags, VARIANT* value, CIMTYPE type) override;
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR name) override;
    HRESULT STDMETHODCALLTYPE GetNames(LPCWSTR qualifierName, LONG flags, VARIANT* qualifierValue,
                                       SAFEARRAY** names) override;
    HRESULT STDMETHODCALLTYPE BeginEnumeration(LONG flags) override;
    HRESULT STDMETHODCALLTYPE Next(LONG flags, BSTR* name, VARIANT* value, CIMTYPE* type,
                                   LONG* flavor) override;
    HRESULT STDMETHODCALLTYPE EndEnumeration() override;
    HRESULT STDMETHODCALLTYPE GetPropertyQualifierSet(LPCWSTR property,
                                                      IWbemQualifierSet** qualifiers) override;
    HRESULT STDMETHODCALLTYPE Clone(IWbemClassObject** copy) override;
    HRESULT STDMETHODCALLTYPE GetObjectText(LONG flags, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE SpawnDerivedClass(LONG flags, IWbemClassObject** newClass) override;
    HRESULT STDMETHODCALLTYPE SpawnInstance(LONG flags, IWbemClassObject** instance) override;
    HRESULT STDMETHODCALLTYPE CompareTo(LONG flags, IWbemClassObject* other) override;
    HRESULT STDMETHODCALLTYPE GetPropertyOrigin(LPCWSTR name, BSTR* className) override;
    HRESULT STDMETHODCALLTYPE InheritsFrom(LPCWSTR ancestor) override;
    HRESULT STDMETHODCALLTYPE GetMethod(LPCWSTR name, LONG flags, IWbemClassObject** inSignature,
                                        IWbemClassObject** outSignature) override;
    HRESULT STDMETHODCALLTYPE PutMethod(LPCWSTR name, LONG flags, IWbemClassObject* inSignature,
                                        IWbemClassObject* outSignature) override;
    HRESULT STDMETHODCALLTYPE DeleteMethod(LPCWSTR name) override;
    HRESULT STDMETHODCALLTYPE BeginMethodEnumeration(LONG flags) override;
    HRESULT STDMETHODCALLTYPE NextMethod(LONG flags, BSTR* name, IWbemClassObject** inSignature,
                                         IWbemClassObject** outSignature) override;
    HRESULT STDMETHODCALLTYPE EndMethodEnumeration() override;
    HRESULT STDMETHODCALLTYPE GetMethodQualifierSet(LPCWSTR method,
                                                    IWbemQualifierSet** qualifiers) override;
    HRESULT STDMETHODCALLTYPE GetMethodOrigin(LPCWSTR method, BSTR* className) override;

  protected:
    ~WbemObject() override;

  private:
    // The value of a system property, or nothing for a name that is not one.
    std::optional<Variant> SystemProperty(std::wstring_view name) const;
    std::optional<std::wstring> RelativePath() const;
    std::optional<std::wstring> FullPath() const;

    WbemObjectData data_;
};

// Hands the object in `data` to a new owner. Throws std::bad_alloc.
ComPtr<IWbemClassObject> MakeWbemObject(WbemObjectData data);

// The WbemObject behind `object`, or null when it is some other implementation.
WbemObject* AsWbemObject(IWbemClassObject* object);

}  // namespace wmi_service
