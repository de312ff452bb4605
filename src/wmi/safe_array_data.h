// Owner of one SafeArrayAccessData lock: unlocks the array when it goes out of scope.
#pragma once

#include "platform/platform.h"

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
