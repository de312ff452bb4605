// BSTR for the Linux layer: a length prefix in bytes, the characters, a terminating NUL.
#include "platform/posix/oleauto.h"

#include "base/secret_text.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>

namespace {

using BstrPrefix = std::uint32_t;

std::atomic<long> bstrAllocationsLeft{-1};

bool BstrAllocationAllowed() {
    long left = bstrAllocationsLeft.load();
    while (left >= 0) {
        if (left == 0) return false;
        if (bstrAllocationsLeft.compare_exchange_weak(left, left - 1)) return true;
    }
    return true;
}

BstrPrefix* PrefixOf(BSTR bstr) { return reinterpret_cast<BstrPrefix*>(bstr) - 1; }

}  // namespace

namespace posix_testing {

void FailBstrAllocationsAfter(long successfulAllocations) {
    bstrAllocationsLeft.store(successfulAllocations < 0 ? -1 : successfulAllocations);
}

}  // namespace posix_testing

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    return SysAllocStringLen(psz, static_cast<UINT>(std::wcslen(psz)));
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    // The byte length and the terminating NUL must fit the prefix.
    if (ui > (std::numeric_limits<BstrPrefix>::max() - sizeof(OLECHAR)) / sizeof(OLECHAR)) {
        return nullptr;
    }
    if (!BstrAllocationAllowed()) return nullptr;
    const std::size_t byteLength = std::size_t{ui} * sizeof(OLECHAR);
    // The text must be aligned for OLECHAR; malloc's alignment and a 4-byte prefix give that.
    void* block = std::calloc(1, sizeof(BstrPrefix) + byteLength + sizeof(OLECHAR));
    if (!block) return nullptr;
    auto* prefix = static_cast<BstrPrefix*>(block);
    *prefix = static_cast<BstrPrefix>(byteLength);
    auto* bstr = reinterpret_cast<BSTR>(prefix + 1);
    if (strIn) std::memcpy(bstr, strIn, byteLength);
    return bstr;
}

void SysFreeString(BSTR bstrString) {
    if (!bstrString) return;
    // A BSTR may carry a secret (a BIOS password on its way to the firmware): nothing of it
    // stays behind in freed memory.
    const UINT bytes = *PrefixOf(bstrString);
    WipeBytes(bstrString, bytes);
    std::free(PrefixOf(bstrString));
}

UINT SysStringLen(BSTR pbstr) {
    return pbstr ? static_cast<UINT>(*PrefixOf(pbstr) / sizeof(OLECHAR)) : 0;
}
