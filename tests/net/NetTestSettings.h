// The settings unit of the transfer tests: the product's values, except that a test may name
// the CA file HTTPS servers are checked against, as a vendor's build does with
// KESTROVA_CA_BUNDLE.
#pragma once

#include <string>

namespace kestrova::test {

// What builtInCaBundle() returns while the object lives; "" (the system's store) after.
class ScopedCaBundle {
public:
    explicit ScopedCaBundle(std::string path);
    ~ScopedCaBundle();
    ScopedCaBundle(const ScopedCaBundle&) = delete;
    ScopedCaBundle& operator=(const ScopedCaBundle&) = delete;
};

}  // namespace kestrova::test
