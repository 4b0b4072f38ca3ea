// The lexical removal of "." and ".." segments from a path.
#include "util/PathCanonical.h"

#include <string_view>
#include <vector>

namespace kestrova {

std::string removeDotSegments(const std::string& path) {
    const bool absolute = !path.empty() && path.front() == '/';
    std::vector<std::string_view> kept;
    std::string_view rest(path);
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (segment.empty() || segment == ".") {
            continue;
        }
        if (segment == "..") {
            if (!kept.empty() && kept.back() != "..") {
                kept.pop_back();
            } else if (!absolute) {
                // A relative path may legitimately start above its own folder.
                kept.push_back(segment);
            }
            continue;
        }
        kept.push_back(segment);
    }

    std::string out = absolute ? "/" : "";
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (i > 0) {
            out.push_back('/');
        }
        out.append(kept[i]);
    }
    return out.empty() ? "." : out;
}

}  // namespace kestrova
