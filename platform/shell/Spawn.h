// Starting a desktop program without waiting for it, and without leaving a zombie.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace kestrova {

// Starts argv[0] (searched on PATH) with exactly these arguments: no shell, no quoting.
// The child gets its own session, default signal dispositions, an empty signal mask and
// no descriptor above standard error. It is not waited for; a watcher reaps it when it
// ends, waiting for that one child only, so other children of the process are left to
// whoever started them. Returns the child's id, or nothing when it could not be started.
std::optional<pid_t> spawnDetached(const std::vector<std::string>& argv);

}  // namespace kestrova
