// The owners of what the system borrows from Windows, one per kind, in one place: a COM
// reference, a VARIANT, a BSTR, a kernel or file handle, a registry key, a SAFEARRAY's data lock.
// Each releases what it holds on reset and destruction, so that early returns and exceptions
// cannot leak; put() releases first and then hands out the address for an out-parameter.
//
// Kinds that only one caller borrows keep their owner beside that caller, built on
// UniqueResource with traits of their own where the kind is a value that one call closes:
// ComInitGuard (wmi/com_init_guard.h) undoes its own CoInitializeEx; LocalFree's memory
// (app/security_descriptor.h); SHGetKnownFolderPath's text (app/run_log_file_windows.cpp); the
// run lock's boundary descriptor and private namespace (app/run_lock_windows.cpp); a Linux
// file descriptor of the run's own files (app/unique_fd_posix.h).
#pragma once

#include "platform/platform.h"

#include <cstring>
#include <utility>

// One counted COM interface reference.
template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    // Takes over a reference the caller already owns.
    explicit ComPtr(T* owned) : ptr_(owned) {}
    ComPtr(const ComPtr& other) : ptr_(other.ptr_) {
        if (ptr_) ptr_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(ptr_, other.ptr_);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Adds a reference of its own to a pointer somebody else owns.
    static ComPtr Share(T* borrowed) {
        if (borrowed) borrowed->AddRef();
        return ComPtr(borrowed);
    }

    void reset() {
        if (T* old = std::exchange(ptr_, nullptr)) old->Release();
    }
    T** put() {
        reset();
        return &ptr_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    T* detach() { return std::exchange(ptr_, nullptr); }

    T* get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }

  private:
    T* ptr_ = nullptr;
};

// A value that one call closes, move-only. Traits give the type, the empty value and the call.
template <typename Traits>
class UniqueResource {
  public:
    using Type = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(Type owned) : value_(owned) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    void reset(Type value = Traits::Empty()) {
        const Type old = std::exchange(value_, value);
        if (old != Traits::Empty()) Traits::Close(old);
    }
    Type* put() {
        reset();
        return &value_;
    }
    // Gives up ownership without closing.
    Type release() { return std::exchange(value_, Traits::Empty()); }

    Type get() const { return value_; }
    explicit operator bool() const { return value_ != Traits::Empty(); }

  private:
    Type value_ = Traits::Empty();
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type handle) { CloseHandle(handle); }
};
struct RegistryKeyTraits {
    using Type = HKEY;
    static Type Empty() { return nullptr; }
    static void Close(Type key) { RegCloseKey(key); }
};
struct BstrTraits {
    using Type = BSTR;
    static Type Empty() { return nullptr; }
    static void Close(Type text) { SysFreeString(text); }
};

struct FileHandleTraits {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static void Close(Type handle) { CloseHandle(handle); }
};

// A handle that is null when empty (tokens, mutexes, processes; not CreateFileW's).
using UniqueHandle = UniqueResource<KernelHandleTraits>;
// CreateFileW's handle, which is INVALID_HANDLE_VALUE when empty.
using UniqueFileHandle = UniqueResource<FileHandleTraits>;
using UniqueKey = UniqueResource<RegistryKeyTraits>;
using UniqueBstr = UniqueResource<BstrTraits>;

// One VARIANT: initialised empty, cleared on reset and destruction, moved bit for bit (a VARIANT
// is a plain record, so moving its bits moves the ownership of what it points to).
class UniqueVariant {
  public:
    UniqueVariant() noexcept { VariantInit(&value_); }
    // A VT_BSTR holding `text`, which it now owns.
    explicit UniqueVariant(UniqueBstr text) noexcept : UniqueVariant() {
        V_VT(&value_) = VT_BSTR;
        V_BSTR(&value_) = text.release();
    }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    UniqueVariant(UniqueVariant&& other) noexcept : UniqueVariant() { swap(other); }
    UniqueVariant& operator=(UniqueVariant&& other) noexcept {
        if (this != &other) {
            reset();
            swap(other);
        }
        return *this;
    }
    ~UniqueVariant() { reset(); }

    void reset() noexcept {
        VariantClear(&value_);
        VariantInit(&value_);
    }
    VARIANT* put() noexcept {
        reset();
        return &value_;
    }
    // The VARIANT itself, read-only through a const owner.
    VARIANT* get() noexcept { return &value_; }
    const VARIANT* get() const noexcept { return &value_; }
    VARTYPE Type() const noexcept { return V_VT(&value_); }

    void swap(UniqueVariant& other) noexcept {
        VARIANT held;
        std::memcpy(&held, &value_, sizeof(VARIANT));
        std::memcpy(&value_, &other.value_, sizeof(VARIANT));
        std::memcpy(&other.value_, &held, sizeof(VARIANT));
    }

  private:
    VARIANT value_;
};

// One SafeArrayAccessData lock: unlocks the array when it goes out of scope.
class SafeArrayData {
  public:
    explicit SafeArrayData(SAFEARRAY* array) : array_(array) {}
    ~SafeArrayData() {
        // The unlock result is of no use to the readers.
        if (data) static_cast<void>(SafeArrayUnaccessData(array_));
    }
    SafeArrayData(const SafeArrayData&) = delete;
    SafeArrayData& operator=(const SafeArrayData&) = delete;

    // Locks the array and points data at its elements.
    HRESULT Access() {
        void* elements = nullptr;
        const HRESULT hr = SafeArrayAccessData(array_, &elements);
        if (SUCCEEDED(hr)) data = elements;
        return hr;
    }
    // Element count of the first dimension.
    ULONG Count() const { return array_->rgsabound[0].cElements; }

    void* data = nullptr;

  private:
    SAFEARRAY* array_;
};
