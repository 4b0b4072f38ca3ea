// The two settings compiled into the program: the advert endpoint and the folder of the
// machine registry hive. There is no other configuration.
//
// They are functions rather than macros so that one translation unit holds the values:
// every executable links exactly one definition of both. The product takes
// util/BuildSettings.cpp (the kestrova_build_settings library, built from the CMake cache
// variables); the end-to-end test links the same objects with a unit of its own in front,
// whose definitions keep the library's from being linked at all.
#pragma once

namespace kestrova {

// "http://127.0.0.1:8642/advert" unless the build says otherwise.
const char* builtInAdvertEndpoint();

// "/etc/kestrova/registry" unless the build says otherwise.
const char* builtInRegistryRoot();

}  // namespace kestrova
