// Observer of a download's progress.
#pragma once

#include <cstdint>

class IProgressSink {
public:
    virtual ~IProgressSink() = default;

    // kind is always 1 (download); cookie is the value the session was given; total is 0
    // while the size is unknown. Called on the downloading thread. An exception thrown
    // here is swallowed: it never reaches libcurl and never stops the transfer.
    virtual void onProgress(std::int32_t kind, std::int32_t cookie, double total,
                            double received) = 0;
};
