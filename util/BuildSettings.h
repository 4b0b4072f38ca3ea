// The settings compiled into the program: the advert endpoint, the folder of the machine
// registry hive and the CA file that HTTPS servers are checked against. There is no other
// configuration.
//
// They are functions rather than macros so that one translation unit holds the values:
// every executable links exactly one definition of all three, named on its own link line. The
// product and the tests take util/BuildSettings.cpp (kestrova_build_settings, built from the
// CMake cache variables); the end-to-end and benchmark programs link a unit of their own
// instead. The libraries that call these functions never link a definition.
#pragma once

namespace kestrova {

// "http://127.0.0.1:8642/advert" unless the build says otherwise.
const char* builtInAdvertEndpoint();

// "/etc/kestrova/registry" unless the build says otherwise.
const char* builtInRegistryRoot();

// The file of CA certificates an HTTPS server's certificate must chain to, trusted instead
// of the system's store; "" (the default) for the system's store.
const char* builtInCaBundle();

}  // namespace kestrova
