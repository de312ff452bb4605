// Linux tests that go through CoCreateInstance to the machine (as the program does) install the
// machine's locator for their own lifetime, as the program's entry point does for a run.
#pragma once

class BuiltInMachineLocator {
  public:
    BuiltInMachineLocator();
    ~BuiltInMachineLocator();
    BuiltInMachineLocator(const BuiltInMachineLocator&) = delete;
    BuiltInMachineLocator& operator=(const BuiltInMachineLocator&) = delete;
};
