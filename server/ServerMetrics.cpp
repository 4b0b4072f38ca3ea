// Counting and the text exposition of the counters.
#include "server/ServerMetrics.h"

#include "server/AdvertSet.h"
#include "server/ConnectionTable.h"

namespace kestrova {

namespace {

constexpr std::array<const char*, 5> kRouteNames{"/advert", "/images", "/healthz", "/metrics",
                                                 "other"};

void family(std::string& out, const char* name, const char* type, const char* help) {
    out.append("# HELP ").append(name).append(" ").append(help).append("\n");
    out.append("# TYPE ").append(name).append(" ").append(type).append("\n");
}

void sample(std::string& out, const char* name, std::string_view labels, std::uint64_t value) {
    out.append(name);
    if (!labels.empty()) {
        out.append("{").append(labels).append("}");
    }
    out.append(" ").append(std::to_string(value)).append("\n");
}

}  // namespace

std::string metricLabelValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

void ServerMetrics::countRequest(Route route, int status) {
    std::size_t column = kStatuses.size();
    for (std::size_t i = 0; i < kStatuses.size(); ++i) {
        if (kStatuses[i] == status) {
            column = i;
            break;
        }
    }
    m_requests[static_cast<std::size_t>(route)][column].fetch_add(1, std::memory_order_relaxed);
}

std::string ServerMetrics::render(const AdvertSet& adverts,
                                  const ConnectionTable& connections) const {
    std::string out;
    const char* requests = "kestrova_http_requests_total";
    family(out, requests, "counter", "Requests answered, by route and status.");
    for (std::size_t route = 0; route < kRoutes; ++route) {
        for (std::size_t column = 0; column <= kStatuses.size(); ++column) {
            const std::uint64_t count = m_requests[route][column].load();
            if (count == 0) {
                continue;
            }
            const std::string status =
                column < kStatuses.size() ? std::to_string(kStatuses[column]) : "other";
            sample(out, requests,
                   std::string("route=\"") + kRouteNames[route] + "\",status=\"" + status + "\"",
                   count);
        }
    }
    const char* served = "kestrova_adverts_served_total";
    family(out, served, "counter",
           "Adverts answered, by entry of the adverts file in use; a reload starts them anew.");
    for (std::size_t i = 0; i < adverts.adverts().size(); ++i) {
        sample(out, served,
               "entry=\"" + std::to_string(i) + "\",title=\"" +
                   metricLabelValue(adverts.adverts()[i].title) + "\"",
               adverts.servedCount(i));
    }
    family(out, "kestrova_capped_answers_total", "counter",
           "Advert requests answered 204 because of the frequency cap.");
    sample(out, "kestrova_capped_answers_total", "", m_nCapped.load());
    family(out, "kestrova_picture_bytes_total", "counter", "Picture bytes answered to GET.");
    sample(out, "kestrova_picture_bytes_total", "", m_nPictureBytes.load());
    const char* refused = "kestrova_connections_refused_total";
    family(out, refused, "counter",
           "Connections closed on arrival: the server was full, or the client had its share.");
    sample(out, refused, "limit=\"server\"", connections.refused(Refusal::serverFull));
    sample(out, refused, "limit=\"client\"", connections.refused(Refusal::clientLimit));
    family(out, "kestrova_connections_cut_total", "counter",
           "Connections closed because a request or an answer overran its deadline.");
    sample(out, "kestrova_connections_cut_total", "", connections.cutCount());
    family(out, "kestrova_connections_open", "gauge", "Connections open now.");
    sample(out, "kestrova_connections_open", "", connections.openCount());
    family(out, "kestrova_adverts_loaded", "gauge", "Adverts in the adverts file in use.");
    sample(out, "kestrova_adverts_loaded", "", adverts.adverts().size());
    return out;
}

}  // namespace kestrova
