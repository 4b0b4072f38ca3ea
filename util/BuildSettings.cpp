// The product's compiled-in settings, from the build's cache variables. Keep all three functions
// in this one unit: a second unit that defines them replaces this one as a whole.
#include "util/BuildSettings.h"

namespace kestrova {

const char* builtInAdvertEndpoint() {
    return KESTROVA_ADVERT_ENDPOINT;
}

const char* builtInRegistryRoot() {
    return KESTROVA_REGISTRY_ROOT;
}

const char* builtInCaBundle() {
    return KESTROVA_CA_BUNDLE;
}

}  // namespace kestrova
