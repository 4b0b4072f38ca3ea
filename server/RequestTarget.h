// What the server reads from a request before it answers: the route of its path, the path
// and query of its target for the log, and whether its Host header may be echoed.
#pragma once

#include <string_view>

#include "server/ServerMetrics.h"

namespace kestrova {

// The route of a path (the target without its query).
Route routeOf(std::string_view path);

// The target up to its "?", and what follows it (empty without one).
std::string_view pathOf(std::string_view target);
std::string_view queryOf(std::string_view target);

// The Host header is the client's own claim, echoed only into that client's answer; it is
// still held to host[:port] characters so it cannot smuggle anything into the URL.
bool isPlainHost(std::string_view host);

}  // namespace kestrova
