// The transfer tests' settings unit (in place of kestrova_build_settings): the default
// build's endpoint and registry folder, and a CA file the test names.
#include "tests/net/NetTestSettings.h"

#include "util/BuildSettings.h"

namespace kestrova {
namespace {

std::string& caBundle() {
    static std::string path;
    return path;
}

}  // namespace

const char* builtInAdvertEndpoint() {
    return KESTROVA_ADVERT_ENDPOINT;
}

const char* builtInRegistryRoot() {
    return KESTROVA_REGISTRY_ROOT;
}

const char* builtInCaBundle() {
    return caBundle().c_str();
}

namespace test {

ScopedCaBundle::ScopedCaBundle(std::string path) {
    caBundle() = std::move(path);
}

ScopedCaBundle::~ScopedCaBundle() {
    caBundle().clear();
}

}  // namespace test
}  // namespace kestrova
