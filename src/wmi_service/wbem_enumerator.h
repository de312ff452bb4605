// An IEnumWbemClassObject over a fixed list of objects, as a query or an instance enumeration
// hands it out. Next delivers up to the requested count: WBEM_S_NO_ERROR when all came,
// WBEM_S_FALSE when the list ended first (with fewer, possibly none). The list is in memory, so
// time-outs never expire. Nothing here moves back or skips: Reset, Skip, Clone and NextAsync
// answer WBEM_E_NOT_SUPPORTED.
#pragma once

#include "platform/owners.h"
#include "platform/platform.h"
#include "wmi_service/com_object.h"

#include <cstddef>
#include <vector>

namespace wmi_service {

class WbemEnumerator : public ComObject<IEnumWbemClassObject> {
  public:
    explicit WbemEnumerator(std::vector<ComPtr<IWbemClassObject>> objects);

    // IEnumWbemClassObject
    HRESULT STDMETHODCALLTYPE Reset() override;
    HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject** objects,
                                   ULONG* returned) override;
    HRESULT STDMETHODCALLTYPE NextAsync(ULONG count, IWbemObjectSink* sink) override;
    HRESULT STDMETHODCALLTYPE Clone(IEnumWbemClassObject** copy) override;
    HRESULT STDMETHODCALLTYPE Skip(LONG timeout, ULONG count) override;

  protected:
    ~WbemEnumerator() override;

  private:
    std::vector<ComPtr<IWbemClassObject>> objects_;
    std::size_t position_ = 0;
};

// A new enumerator over `objects`, handed out as IEnumWbemClassObject.
HRESULT CreateWbemEnumerator(std::vector<ComPtr<IWbemClassObject>> objects,
                             IEnumWbemClassObject** enumerator);

}  // namespace wmi_service
