// Owner of one counted COM interface reference: releases it on reset and destruction, so that
// early returns and exceptions cannot leak.
#pragma once

#include "platform/platform.h"

#include <utility>

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
    // Releases what is held and hands out the address for an out-parameter.
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
