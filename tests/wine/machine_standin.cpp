// An in-process COM server that stands in for the machine under Wine. Registered in a test
// prefix as the InprocServer32 of CLSID_WbemLocator, it lets the unchanged program's
// CoCreateInstance reach our machine providers: root\cimv2 and root\Vantrel\InstrumentedBIOS
// come from the machine tree named by CELLKEEPER_ROOT; every other namespace goes to Wine's own
// locator in wbemprox.dll.
#include "machine_providers/provider_locator.h"
#include "platform/owners.h"
#include "platform/platform.h"
#include "wmi_service/com_object.h"

namespace {

using DllGetClassObjectFn = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

// Wine's own locator, for the namespaces the machine does not serve. Null when wbemprox cannot
// be loaded: those namespaces then fail as unknown.
ComPtr<IWbemLocator> SystemLocator() {
    HMODULE module = LoadLibraryW(L"wbemprox.dll");
    if (module == nullptr) return {};
    // Through a plain function pointer: FARPROC's own signature is a placeholder.
    auto get_class_object = reinterpret_cast<DllGetClassObjectFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "DllGetClassObject")));
    if (get_class_object == nullptr) return {};
    ComPtr<IClassFactory> factory;
    if (FAILED(get_class_object(CLSID_WbemLocator, IID_IClassFactory, factory.put_void()))) {
        return {};
    }
    ComPtr<IWbemLocator> locator;
    if (FAILED(factory->CreateInstance(nullptr, IID_IWbemLocator, locator.put_void()))) return {};
    return locator;
}

class LocatorFactory final : public wmi_service::ComObject<IClassFactory> {
  public:
    LocatorFactory() : ComObject(IID_IClassFactory) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        ComPtr<IWbemLocator> fallback = SystemLocator();
        return machine_providers::CreateMachineLocatorOver(fallback.get(), riid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL /*lock*/) override { return S_OK; }
};

}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI
    DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_WbemLocator)) return CLASS_E_CLASSNOTAVAILABLE;
    try {
        return wmi_service::QueryOut(wmi_service::MakeComObject<LocatorFactory>(), riid, object);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

// The test prefix lives for one test run; keeping the module loaded is harmless.
extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return S_FALSE; }
