// Owner of one VARIANT: initialised empty, cleared on destruction.
#pragma once

#include "platform/platform.h"

class ScopedVariant {
  public:
    ScopedVariant() { VariantInit(&value); }
    ~ScopedVariant() { VariantClear(&value); }
    ScopedVariant(const ScopedVariant&) = delete;
    ScopedVariant& operator=(const ScopedVariant&) = delete;

    VARTYPE Type() const { return value.vt; }
    VARIANT* get() { return &value; }

    VARIANT value;
};
