// The server's counters and their rendering in the Prometheus text exposition format
// (version 0.0.4) for GET /metrics.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrova {

class AdvertSet;
class ConnectionTable;

enum class Route { advert, images, healthz, metrics, other };

// "a\"b" for a"b: backslash, double quote and line end escaped as the format wants.
std::string metricLabelValue(std::string_view text);

class ServerMetrics {
public:
    void countRequest(Route route, int status);
    void countCapped() { m_nCapped.fetch_add(1, std::memory_order_relaxed); }
    void countPictureBytes(std::size_t bytes) {
        m_nPictureBytes.fetch_add(bytes, std::memory_order_relaxed);
    }

    // Every counter, with the served counts of the adverts in use and the connection figures.
    std::string render(const AdvertSet& adverts, const ConnectionTable& connections) const;

private:
    static constexpr std::array<int, 7> kStatuses{200, 204, 400, 404, 405, 413, 500};
    static constexpr std::size_t kRoutes = 5;
    // The last column counts any status not listed.
    using StatusCounts = std::array<std::atomic<std::uint64_t>, kStatuses.size() + 1>;

    std::array<StatusCounts, kRoutes> m_requests{};
    std::atomic<std::uint64_t> m_nCapped{0};
    std::atomic<std::uint64_t> m_nPictureBytes{0};
};

}  // namespace kestrova
