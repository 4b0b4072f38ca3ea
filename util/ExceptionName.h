// The readable dynamic type of a caught exception, for log lines that must not carry its
// message (a message may quote the data it failed on).
#pragma once

#include <exception>
#include <string>

namespace kestrova {

// For example "std::runtime_error"; the mangled name when it cannot be demangled.
std::string exceptionName(const std::exception& error);

}  // namespace kestrova
