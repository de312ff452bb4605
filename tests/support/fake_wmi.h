// A recording fake of WMI for tests. Constructing a FakeWmi initialises COM on the test thread
// (balanced on destruction) and registers its locator's class object for CLSID_WbemLocator with
// CoRegisterClassObject, so the code under test reaches it through its unchanged
// CoCreateInstance; destruction revokes it. Only Windows API is used, so the same test runs in
// the Linux build and under Wine.
//
//   FakeWmi wmi;
//   wmi.Namespace(L"\\\\.\\root\\cimv2")
//       .Add(WbemObjectBuilder(L"Win32_BIOS").Set(L"Name", L"1.2.3"));
//   wmi.Fail("Next", WBEM_S_TIMEDOUT);
//   ... run the code under test ...
//   EXPECT_THAT(wmi.Calls(), ElementsAre("CoCreateInstance WbemLocator",
//                                        "ConnectServer \\\\.\\root\\cimv2 flags=0x80", ...));
//   EXPECT_EQ(wmi.LiveObjects(), 0);
//
// Every call the fake receives is recorded, in order, as one line (text in UTF-8):
//   CoCreateInstance WbemLocator
//   ConnectServer <namespace> flags=0x80          [user=.. password=.. locale=.. authority=..
//                                                  context, each only when given]
//   SetBlanket authn=10 authz=0 level=3 imp=3 caps=0   [principal=.. identity, when given]
//   QueryBlanket
//   ExecQuery <language> <query> flags=0x30       [context, when given]
//   CreateInstanceEnum <class> flags=0x30
//   GetObject <path> flags=0x0
//   ExecMethod <path> <method> flags=0x0
//   Next timeout=20000 count=1
//   Skip timeout=.. count=..  /  Reset  /  Clone enumerator
//   Get <property>                                [flags=.. type flavor: when asked for]
//   Put <property>=<value>                        [type=.. flags=.. when not 0]
//       values: text as is, integers in decimal, NULL, EMPTY, true/false, {a,b} for arrays
//   GetMethod <method> in out                     (in / out: the signatures asked for)
//   SpawnInstance / Clone
//   Release services <namespace>                  (the last reference to a services object)
//
// Failures: Fail(prefix, code) makes every call whose line starts with `prefix` return `code`
// without doing anything (out pointers null, counts 0), the first `times` matching calls only
// when `times` is given. A success code is returned the same way, so Fail("ExecQuery", S_OK)
// gives S_OK without an enumerator. The call is still recorded.
//
// Namespaces, their classes and the instance values are read when a call needs them, so a
// method handler can change a value that the next query shows.
#pragma once

#include "platform/owners.h"
#include "platform/platform.h"
#include "wmi_service/variant.h"
#include "wmi_service/wbem_object_builder.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fake_wmi_detail {
struct State;
struct NamespaceState;
}  // namespace fake_wmi_detail

using wmi_service::Variant;
using wmi_service::WbemObjectBuilder;

// One namespace of the fake: its classes, instances and methods.
class FakeNamespace {
  public:
    // What a method call does: read the input object, hand out the output object (or leave it
    // empty: no output) and return the call's result.
    using MethodHandler =
        std::function<HRESULT(IWbemClassObject* inParams, ComPtr<IWbemClassObject>& outParams)>;

    // An instance of the class the builder names; a query or enumeration of that class
    // delivers the instances in the order they were added.
    FakeNamespace& Add(const WbemObjectBuilder& instance);
    // The class object that GetObject of the class name delivers (with its methods). A class
    // that is added but has no instances enumerates as empty.
    FakeNamespace& AddClass(const WbemObjectBuilder& classObject);
    // Replaces the value of `property` in every instance of `className` (for example a setting
    // that a method call changed).
    FakeNamespace& SetProperty(std::wstring_view className, std::wstring_view property,
                               Variant value, CIMTYPE type);
    FakeNamespace& SetProperty(std::wstring_view className, std::wstring_view property,
                               std::wstring_view text);

    // ExecMethod of `method` answers S_OK with an output object whose "Return" is `value`
    // (declared uint32; any VARIANT, so a test can hand out a signed or NULL "Return").
    FakeNamespace& MethodReturns(std::wstring_view method, Variant value);
    // ExecMethod of `method` answers S_OK without an output object.
    FakeNamespace& MethodWithoutOutput(std::wstring_view method);
    FakeNamespace& OnMethod(std::wstring_view method, MethodHandler handler);

  private:
    friend class FakeWmi;
    explicit FakeNamespace(std::shared_ptr<fake_wmi_detail::NamespaceState> state);
    std::shared_ptr<fake_wmi_detail::NamespaceState> state_;
};

class FakeWmi {
  public:
    FakeWmi();
    ~FakeWmi();
    FakeWmi(const FakeWmi&) = delete;
    FakeWmi& operator=(const FakeWmi&) = delete;

    // The namespace that ConnectServer of `path` reaches (added on first use). Letter case and
    // the \\.\ prefix do not matter: "\\.\root\cimv2" and "root\CIMV2" are the same. Any other
    // namespace is WBEM_E_INVALID_NAMESPACE.
    FakeNamespace Namespace(std::wstring_view path);

    // Makes the calls whose line starts with `prefix` answer `code`; `times` limits it to the
    // first so many matching calls.
    void Fail(std::string_view prefix, HRESULT code, std::optional<int> times = std::nullopt);

    // Every call received so far, in order.
    std::vector<std::string> Calls() const;
    // The calls whose line starts with `prefix`, in order.
    std::vector<std::string> CallsStartingWith(std::string_view prefix) const;
    void ClearCalls();

    // The fake's COM objects (locator, services, enumerators, WMI objects) still referenced
    // from outside the fake; 0 once the code under test released everything.
    long LiveObjects() const;

    // A copy of the input object of the last ExecMethod (empty if none was passed or no call
    // was made), to read the arguments that were passed.
    ComPtr<IWbemClassObject> LastMethodInput() const;

    // The results of the fixture's own COM calls, for tests that want to see them.
    HRESULT InitResult() const { return initResult_; }
    HRESULT RegisterResult() const { return registerResult_; }

  private:
    std::shared_ptr<fake_wmi_detail::State> state_;
    HRESULT initResult_ = E_FAIL;
    HRESULT registerResult_ = E_FAIL;
    DWORD cookie_ = 0;
};
