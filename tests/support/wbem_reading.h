// Reading what a services object hands out, for tests of the WMI model and the providers.
#pragma once

#include "base/text.h"
#include "platform/owners.h"
#include "platform/platform.h"
#include "wmi_service/bstr.h"
#include "wmi_service/variant.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Every object left in `enumerator`, fetched one at a time as the tool fetches them.
inline std::vector<ComPtr<IWbemClassObject>> DrainEnumerator(IEnumWbemClassObject* enumerator) {
    std::vector<ComPtr<IWbemClassObject>> objects;
    for (;;) {
        ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        if (enumerator->Next(/*timeout=*/20000, 1, object.put(), &returned) != S_OK) break;
        objects.push_back(std::move(object));
    }
    return objects;
}

// Every object that the WQL query `wql` delivers (flags as the tool's queries); the test fails
// when the query itself fails.
inline std::vector<ComPtr<IWbemClassObject>> QueryObjects(
    IWbemServices* services, const std::wstring& wql,
    LONG flags = WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY) {
    ComPtr<IEnumWbemClassObject> enumerator;
    EXPECT_EQ(services->ExecQuery(wmi_service::CopyBstr(L"WQL").get(),
                                  wmi_service::CopyBstr(wql).get(), flags,
                                  /*context=*/nullptr, enumerator.put()),
              S_OK)
        << ToUtf8(wql);
    if (!enumerator) return {};
    return DrainEnumerator(enumerator.get());
}

// The property `name` of `object`; the test fails when it cannot be read.
inline wmi_service::Variant GetProperty(IWbemClassObject* object, const wchar_t* name) {
    wmi_service::Variant value;
    EXPECT_EQ(object->Get(name, 0, value.put(), nullptr, nullptr), S_OK) << name;
    return value;
}

// The text of a property, "<NULL>" for NULL, "<type N>" for anything else.
inline std::wstring PropertyText(IWbemClassObject* object, const wchar_t* name) {
    const wmi_service::Variant value = GetProperty(object, name);
    if (value.Type() == VT_NULL) return L"<NULL>";
    if (value.Type() != VT_BSTR) return L"<type " + std::to_wstring(value.Type()) + L">";
    return wmi_service::BstrText(V_BSTR(value.get()));
}
