// Owner of one VARIANT: initialised empty, cleared on destruction.
#pragma once

#include "platform/platform.h"

class Variant {
  public:
    Variant() { VariantInit(&value); }
    ~Variant() { VariantClear(&value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARTYPE Type() const { return value.vt; }
    VARIANT* get() { return &value; }

    VARIANT value;
};
