// Shared pieces of the in-memory WMI objects: the reference count every object keeps and the
// factory that hands a new object straight to its owner.
#pragma once

#include "platform/owners.h"
#include "platform/platform.h"
#include "platform/wbem_status.h"

#include <atomic>
#include <utility>

namespace wmi_service {

// Reference count of one COM object. It starts at 1: the reference its factory hands out.
class RefCount {
  public:
    ULONG Add() { return ++count_; }
    ULONG Drop() { return --count_; }

  private:
    std::atomic<ULONG> count_{1};
};

// IUnknown for an object that serves one interface: QueryInterface answers IUnknown and that
// interface, and the object deletes itself when its last reference is released. The SDK's
// interfaces have no virtual destructor; this base gives the object one.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
template <typename Interface>
class ComObject : public Interface {
  public:
    explicit ComObject(const IID& interfaceId) : interfaceId_(interfaceId) {}
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, interfaceId_)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return refs_.Add(); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = refs_.Drop();
        if (left == 0) delete this;
        return left;
    }

  protected:
    virtual ~ComObject() = default;

  private:
    const IID& interfaceId_;
    RefCount refs_;
};
#pragma GCC diagnostic pop

// Creates a COM object whose first reference goes straight to the returned owner. The object
// deletes itself in Release when the last reference goes. Throws std::bad_alloc.
template <typename T, typename... Args>
ComPtr<T> MakeComObject(Args&&... args) {
    return ComPtr<T>(new T(std::forward<Args>(args)...));
}

// Hands out `object` as the interface `riid` through QueryInterface, or fails with its code.
template <typename T>
HRESULT QueryOut(const ComPtr<T>& object, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return object->QueryInterface(riid, out);
}

}  // namespace wmi_service
