// The benchmark build of the pop-up: the product's objects with the endpoint on the
// loopback port the benchmark's advert server listens on, and a registry folder of its own.
#include "util/BuildSettings.h"

namespace kestrova {

const char* builtInAdvertEndpoint() {
    return KESTROVA_BENCH_ENDPOINT;
}

const char* builtInRegistryRoot() {
    return KESTROVA_BENCH_REGISTRY_ROOT;
}

const char* builtInCaBundle() {
    return "";
}

}  // namespace kestrova
