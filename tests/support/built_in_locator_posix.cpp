#include "support/built_in_locator_posix.h"

#include "machine_providers/provider_locator.h"
#include "platform/platform.h"

BuiltInMachineLocator::BuiltInMachineLocator() {
    posix::SetBuiltInWbemLocator(machine_providers::CreateMachineLocator);
}

BuiltInMachineLocator::~BuiltInMachineLocator() { posix::SetBuiltInWbemLocator(nullptr); }
