// Where the machine hive lives. The program always uses the built-in folder; tests point
// the hive at a folder of their own for the lifetime of a ScopedMachineRoot.
#pragma once

#include <string>

namespace kestrova::registry {

// The folder that currently holds HKEY_LOCAL_MACHINE.
std::string machineRoot();

class ScopedMachineRoot {
public:
    explicit ScopedMachineRoot(std::string folder);
    ~ScopedMachineRoot();
    ScopedMachineRoot(const ScopedMachineRoot&) = delete;
    ScopedMachineRoot& operator=(const ScopedMachineRoot&) = delete;

private:
    std::string m_strPrevious;
};

}  // namespace kestrova::registry
