#include "support/built_in_locator_posix.h"

#include "platform/machine/provider_locator.h"
#include "platform/platform.h"

BuiltInMachineLocator::BuiltInMachineLocator() {
    posix::SetBuiltInWbemLocator(
        static_cast<posix::WbemLocatorCreator>(machine::CreateMachineLocator));
}

BuiltInMachineLocator::~BuiltInMachineLocator() { posix::SetBuiltInWbemLocator(nullptr); }
