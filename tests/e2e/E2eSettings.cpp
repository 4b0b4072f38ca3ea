// The settings of the end-to-end build of the program (the product's objects with these in
// place of kestrova_build_settings): the endpoint the test serves, named at run time in
// KESTROVA_E2E_ENDPOINT so that the test can listen on any free port, and a registry folder
// of the tests' own.
#include <cstdlib>

#include "util/BuildSettings.h"

namespace kestrova {

const char* builtInAdvertEndpoint() {
    // Without one the request fails at once, as with an unreachable server.
    const char* endpoint = std::getenv("KESTROVA_E2E_ENDPOINT");
    return endpoint ? endpoint : "";
}

const char* builtInRegistryRoot() {
    return KESTROVA_E2E_REGISTRY_ROOT;
}

const char* builtInCaBundle() {
    return "";
}

}  // namespace kestrova
