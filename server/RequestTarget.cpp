// Routes and request targets of the sample server.
#include "server/RequestTarget.h"

#include <algorithm>

namespace kestrova {

Route routeOf(std::string_view path) {
    if (path == "/advert") {
        return Route::advert;
    }
    if (path.starts_with("/images/")) {
        return Route::images;
    }
    if (path == "/healthz") {
        return Route::healthz;
    }
    return path == "/metrics" ? Route::metrics : Route::other;
}

std::string_view pathOf(std::string_view target) {
    return target.substr(0, target.find('?'));
}

std::string_view queryOf(std::string_view target) {
    const std::size_t mark = target.find('?');
    return mark == std::string_view::npos ? std::string_view{} : target.substr(mark + 1);
}

bool isPlainHost(std::string_view host) {
    if (host.empty() || host.size() > 255) {
        return false;
    }
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
    });
}

}  // namespace kestrova
