// The HTTP face of the sample server:
//
//   GET /advert?time=T   200 with the advert the pop-up reads, or 204 when there is none
//                        for this client now (capped, or nothing in its date window)
//   GET /images/NAME     the picture NAME, only when the adverts file lists it; else 404
//
// Everything a client sends is bounded (request size, timeouts, connections per worker),
// and every request leaves one line in the request log.
#pragma once

#include <atomic>
#include <chrono>
#include <ostream>
#include <string>

#include "server/AdvertCatalog.h"
#include "server/AdvertSelector.h"
#include "server/BoundedHttpServer.h"
#include "server/RequestLog.h"

namespace kestrova {

class AdvertServer {
public:
    AdvertServer(AdvertCatalog catalog, std::chrono::seconds minInterval, Clock clock,
                 std::ostream& log);
    AdvertServer(const AdvertServer&) = delete;
    AdvertServer& operator=(const AdvertServer&) = delete;

    // Binds the listening socket; port 0 picks a free one. The bound port, or -1.
    int bind(const std::string& host, int port);

    // Serves until stop(); false when it could not serve at all.
    bool run();

    // Safe from any thread, also before run() has started (run() then returns at once);
    // run() returns once the workers have finished.
    void stop();

private:
    void installRoutes();
    void configureLimits();
    void handleAdvert(const httplib::Request& req, httplib::Response& res);
    void handleImage(const httplib::Request& req, httplib::Response& res);
    void logRequest(const httplib::Request& req, const httplib::Response& res);

    AdvertCatalog m_catalog;
    Clock m_clock;
    AdvertSelector m_selector;
    RequestLog m_log;
    ConnectionLimits m_limits;
    BoundedHttpServer m_server;
    std::atomic<bool> m_bRunStarted{false};
    std::atomic<bool> m_bRunDone{false};
    std::atomic<bool> m_bStopRequested{false};
};

}  // namespace kestrova
