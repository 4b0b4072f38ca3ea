// Admission, start and end of connections, and the deadline sweep.
#include "server/ConnectionTable.h"

#include <netinet/in.h>

#include <cstring>

namespace kestrova {

namespace {

// The reservation admit() made on this thread for a connection not yet started.
struct PendingPlace {
    const ConnectionTable* table = nullptr;
    std::string client;
};
thread_local PendingPlace t_pending;

// An IPv4 client reaching an IPv6 socket counts as the same client as over IPv4.
std::string clientKey(const sockaddr* addr, socklen_t length) {
    if (addr->sa_family == AF_INET && length >= socklen_t(sizeof(sockaddr_in))) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(addr);
        return std::string(reinterpret_cast<const char*>(&v4->sin_addr), 4);
    }
    if (addr->sa_family == AF_INET6 && length >= socklen_t(sizeof(sockaddr_in6))) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(addr);
        const auto* bytes = reinterpret_cast<const char*>(&v6->sin6_addr);
        if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr)) {
            return std::string(bytes + 12, 4);
        }
        return std::string(bytes, 16);
    }
    return {};
}

}  // namespace

ConnectionTable::ConnectionTable(std::size_t maxConnections, std::size_t maxPerClient)
    : m_nMaxConnections(maxConnections), m_nMaxPerClient(maxPerClient) {}

bool ConnectionTable::admit(const sockaddr* addr, socklen_t length) {
    std::string client = clientKey(addr, length);
    std::lock_guard<std::mutex> guard(m_lock);
    if (t_pending.table == this) {
        release(t_pending.client);  // admitted before, but the library never started it
        t_pending.table = nullptr;
    }
    if (m_nReserved >= m_nMaxConnections) {
        ++m_nRefusedFull;
        return false;
    }
    std::size_t& count = m_perClient[client];
    if (count >= m_nMaxPerClient) {
        ++m_nRefusedClient;
        if (count == 0) {
            m_perClient.erase(client);
        }
        return false;
    }
    ++count;
    ++m_nReserved;
    t_pending = {this, std::move(client)};
    return true;
}

ConnectionState& ConnectionTable::open(int fd, SteadyTime deadline) {
    std::lock_guard<std::mutex> guard(m_lock);
    ConnectionState& state = m_connections.emplace_front();
    state.self = m_connections.begin();
    state.fd = fd;
    state.setDeadline(deadline);
    if (t_pending.table == this) {
        state.client = std::move(t_pending.client);
        t_pending.table = nullptr;
    } else {
        // Started without admission (the library's own accounting): count it all the same,
        // so that its end balances.
        ++m_nReserved;
        ++m_perClient[state.client];
    }
    return state;
}

void ConnectionTable::close(ConnectionState& state) {
    std::lock_guard<std::mutex> guard(m_lock);
    release(state.client);
    m_connections.erase(state.self);
}

void ConnectionTable::release(const std::string& client) {
    --m_nReserved;
    auto found = m_perClient.find(client);
    if (found != m_perClient.end() && --found->second == 0) {
        m_perClient.erase(found);
    }
}

std::size_t ConnectionTable::cutOverdue(SteadyTime now) {
    const std::int64_t nowCount = now.time_since_epoch().count();
    std::size_t cut = 0;
    std::lock_guard<std::mutex> guard(m_lock);
    // The descriptor stays valid while the state is listed: the library reports the end
    // (close() above, under this lock) before it closes the socket.
    for (ConnectionState& state : m_connections) {
        if (state.deadline.load() < nowCount && state.fd >= 0) {
            ::shutdown(state.fd, SHUT_RDWR);
            state.deadline = INT64_MAX;
            ++cut;
        }
    }
    m_nCut += cut;
    return cut;
}

std::size_t ConnectionTable::openCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_connections.size();
}

std::uint64_t ConnectionTable::refused(Refusal why) const {
    return why == Refusal::serverFull ? m_nRefusedFull.load() : m_nRefusedClient.load();
}

}  // namespace kestrova
