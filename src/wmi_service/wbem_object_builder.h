// A small builder of in-memory WMI objects for the machine providers and the tests:
//
//   ComPtr<IWbemClassObject> bios = WbemObjectBuilder(L"Win32_BIOS")
//       .Key(L"Name").Set(L"Name", L"x").Set(L"Manufacturer", L"Vantrel").Build();
//   auto in = WbemObjectBuilder::Parameters().Declare(L"Name", CIM_STRING).Build();
//   auto cls = WbemObjectBuilder::Class(L"Vantrel_BIOSSettingInterface")
//       .Method(L"SetBIOSSetting", in, out).Build();
//
// Set stores the value exactly as given (no conversion), so tests can hand out any VARIANT;
// setting a name again replaces the value and type in place. Build throws std::bad_alloc.
#pragma once

#include "platform/owners.h"
#include "platform/platform.h"
#include "wmi_service/variant.h"
#include "wmi_service/wbem_object.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wmi_service {

// A method signature as the builder takes it: an object, or nullptr for none.
struct WbemSignature {
    WbemSignature(std::nullptr_t) {}
    WbemSignature(ComPtr<IWbemClassObject> signature) : object(std::move(signature)) {}
    ComPtr<IWbemClassObject> object;
};

class WbemObjectBuilder {
  public:
    // An instance of `className`.
    explicit WbemObjectBuilder(std::wstring_view className);
    // A class object (GetObject of the class name, source of SpawnInstance).
    static WbemObjectBuilder Class(std::wstring_view className);
    // A method signature: the class "__PARAMETERS" whose properties are the arguments.
    static WbemObjectBuilder Parameters();

    // A property without value (VT_NULL) of the given CIM type.
    WbemObjectBuilder& Declare(std::wstring_view name, CIMTYPE type);
    WbemObjectBuilder& Set(std::wstring_view name, std::wstring_view text);  // CIM_STRING
    WbemObjectBuilder& Set(std::wstring_view name, const wchar_t* text);     // CIM_STRING
    WbemObjectBuilder& Set(std::wstring_view name, std::int32_t value);      // CIM_SINT32
    WbemObjectBuilder& Set(std::wstring_view name, bool value);              // CIM_BOOLEAN
    WbemObjectBuilder& Set(std::wstring_view name, const std::vector<std::wstring>& items);
    WbemObjectBuilder& Set(std::wstring_view name, const std::vector<std::int32_t>& items);
    // Any value with the CIM type to report; the value is kept exactly as given.
    WbemObjectBuilder& Set(std::wstring_view name, Variant value, CIMTYPE type);
    // A property whose value `produce` makes on the first Get (never a key: a path needs it at
    // once).
    WbemObjectBuilder& SetDeferred(std::wstring_view name, CIMTYPE type,
                                   std::function<Variant()> produce);
    // Marks a property as key: it goes into __RELPATH and __PATH.
    WbemObjectBuilder& Key(std::wstring_view name);
    // A method with its input and output signatures (nullptr: the method has none).
    WbemObjectBuilder& Method(std::wstring_view name, WbemSignature inSignature,
                              WbemSignature outSignature);
    // Where the object lives ("root\cimv2"); without one __PATH is NULL.
    WbemObjectBuilder& Namespace(std::wstring_view nameSpace);
    WbemObjectBuilder& Server(std::wstring_view server);
    // An explicit __PATH, whatever the keys say.
    WbemObjectBuilder& Path(std::wstring_view path);

    // An instance builder with this builder's class name, properties, keys and methods.
    WbemObjectBuilder Instance() const;

    const WbemObjectData& Data() const { return data_; }
    ComPtr<IWbemClassObject> Build() const;

  private:
    WbemObjectData data_;
};

}  // namespace wmi_service
