// The end-to-end build of the program: the same objects as the product, with the endpoint
// on a loopback port the tests serve and a registry folder of their own.
#include "util/BuildSettings.h"

namespace kestrova {

const char* builtInAdvertEndpoint() {
    return KESTROVA_E2E_ENDPOINT;
}

const char* builtInRegistryRoot() {
    return KESTROVA_E2E_REGISTRY_ROOT;
}

}  // namespace kestrova
