// The computer's name, model and BIOS version as the system keeps them for anyone to read,
// without WMI: the run log's start line names the machine before the run has asked it anything.
#pragma once

#include <string>

struct MachineIdentity {
    std::wstring host;         // empty where unknown
    std::wstring model;        // the SMBIOS product name
    std::wstring biosVersion;  // the SMBIOS BIOS version
};

// Each platform has its own source file. Never fails: what cannot be read stays empty.
MachineIdentity ReadMachineIdentity() noexcept;
