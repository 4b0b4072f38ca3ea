// The final move of a download: the ".temp" file renamed onto the target, retried a
// bounded number of times while another process holds the file.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

#include "net/CurlResult.h"

namespace kestrova {

// The file-system calls the move depends on, replaceable so that busy files and
// persistent errors can be staged.
struct RenameOps {
    // 0 on success, otherwise the errno value.
    std::function<int(const std::string& from, const std::string& to)> rename;
    std::function<void(std::chrono::milliseconds)> sleep;
};

inline constexpr int kRenameAttempts = 1800;
inline constexpr std::chrono::milliseconds kBusyWait{100};

// rename(2) and a real sleep.
RenameOps systemRenameOps();

// Moves temp onto target. result is the finished transfer's 200 result; it comes back
// with code 200 once the file is in place. A busy file (EBUSY) waits kBusyWait and leaves
// code -2, any other error retries at once with -1; after kRenameAttempts failures the
// message names the last error and the ".temp" file stays. A raised stop flag ends the
// loop before the next attempt, and a stopped move is a failure (-1, or the running code).
CurlResult moveTempFile(const std::string& temp, const std::string& target,
                        const std::atomic<bool>* stop, CurlResult result,
                        const RenameOps& ops = systemRenameOps());

}  // namespace kestrova
