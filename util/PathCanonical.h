// Lexical path clean-up shared by the folder functions.
#pragma once

#include <string>

namespace kestrova {

// Removes "." segments, resolves ".." against the segment before it (never climbing above
// the root) and collapses repeated "/". Purely textual: links are not looked at. A path
// that cleans up to nothing is "/" when it was absolute and "." otherwise.
std::string removeDotSegments(const std::string& path);

}  // namespace kestrova
