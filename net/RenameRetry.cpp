// The bounded rename loop that ends a download.
#include "net/RenameRetry.h"

#include <cerrno>
#include <cstdio>
#include <thread>

#include "net/DebugTrace.h"
#include "util/BoundedFormat.h"

namespace kestrova {

RenameOps systemRenameOps() {
    return RenameOps{
        [](const std::string& from, const std::string& to) {
            return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
        },
        [](std::chrono::milliseconds wait) { std::this_thread::sleep_for(wait); },
    };
}

CurlResult moveTempFile(const std::string& temp, const std::string& target,
                        const std::atomic<bool>* stop, CurlResult result, const RenameOps& ops) {
    int lastError = 0;
    for (int attempt = 0; attempt < kRenameAttempts; ++attempt) {
        if (stop != nullptr && stop->load()) {
            // The file is not where the caller will look for it: never report success.
            if (result.code == 200) {
                result.code = -1;
            }
            result.message = "downloadFile stopped";
            return result;
        }
        lastError = ops.rename(temp, target);
        if (lastError == 0) {
            result.code = 200;
            return result;
        }
        // EBUSY is the nearest thing Linux has to a file held open by another process.
        if (lastError == EBUSY) {
            ops.sleep(kBusyWait);
            result.code = -2;
        } else {
            result.code = -1;
        }
    }
    result.message = boundedFormat("rename error lasterror=[%d]", lastError);
    debugTrace("%s", result.message.c_str());
    return result;
}

}  // namespace kestrova
