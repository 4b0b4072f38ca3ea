// The HTTP face of the sample server:
//
//   GET /advert?time=T   200 with the advert the pop-up reads, or 204 when there is none
//                        for this client now (capped, or nothing in its date window)
//   GET /images/NAME     the picture NAME, only when the adverts file lists it; else 404
//   GET /healthz         200 "ok" while the server takes requests
//   GET /metrics         the counters in the Prometheus text format
//
// An event loop on a few threads serves every connection, so an idle or slow client costs a
// place among the connections and some memory, both bounded, never a worker. Every request
// that reaches a route leaves one line in the request log.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

#include "server/AdvertCatalog.h"
#include "server/AdvertSelector.h"
#include "server/AdvertSet.h"
#include "server/ConnectionTable.h"
#include "server/HttpResponse.h"
#include "server/RequestLog.h"
#include "server/ServerLimits.h"
#include "server/ServerMetrics.h"
#include "util/FileDescriptor.h"

namespace kestrova {

class AdvertServer {
public:
    AdvertServer(AdvertCatalog catalog, std::chrono::seconds minInterval, Clock clock,
                 std::ostream& log, ServerLimits limits = {});
    AdvertServer(const AdvertServer&) = delete;
    AdvertServer& operator=(const AdvertServer&) = delete;

    // Binds the listening socket; port 0 picks a free one. The bound port, or -1.
    int bind(const std::string& host, int port);

    // Serves until stop(); false when it could not serve at all.
    bool run();

    // Safe from any thread, also before run() has started (run() then returns at once).
    // run() stops taking connections at once, lets the answers under way finish (within
    // the drain time) and returns once every connection is closed.
    void stop();

    // Serves catalog from the next request on; answers already chosen are sent as they are.
    void replaceCatalog(AdvertCatalog catalog);

    // A line of the server's own in the request log's stream, kept whole among the
    // request lines.
    void note(const std::string& line) { m_log.write(line); }

private:
    struct Callbacks;

    std::shared_ptr<AdvertSet> makeSet(AdvertCatalog catalog) const;
    void serveUntilStopped();
    void drain(MHD_Daemon* daemon);

    MHD_Result onRequest(MHD_Connection* connection, ConnectionState& state, const char* url,
                         const char* method, std::size_t* uploadSize);
    MHD_Result answer(MHD_Connection* connection, const ConnectionState& state, Route route,
                      int status, MHD_Response* response);
    MHD_Result answerAdvert(MHD_Connection* connection, const ConnectionState& state);
    MHD_Result answerImage(MHD_Connection* connection, const ConnectionState& state,
                           std::string_view name, bool withBody);

    std::chrono::seconds m_minInterval;
    Clock m_clock;
    ServerLimits m_limits;
    RequestLog m_log;
    std::atomic<std::shared_ptr<AdvertSet>> m_set;
    ServerMetrics m_metrics;
    ConnectionTable m_connections;
    // Answers that never change.
    HttpResponse m_noAdvert, m_healthy, m_notFound, m_notAllowed, m_tooLarge, m_failed;

    FileDescriptor m_listening;
    std::atomic<int> m_nAnswering{0};
    std::mutex m_stopLock;
    std::condition_variable m_stopSignal;
    bool m_bStopRequested = false;
};

}  // namespace kestrova
