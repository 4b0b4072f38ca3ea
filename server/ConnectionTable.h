// Every open connection of the server: admission against the total and per-client limits,
// and the deadline by which each connection's current request (or answer) must be done.
//
// The HTTP library asks admit() when it accepts a connection and reports the connection's
// start and end on the same thread; a place reserved by admit() for a connection the
// library then failed to start is given back at that thread's next admit().
#pragma once

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

namespace kestrova {

using SteadyTime = std::chrono::steady_clock::time_point;

// One connection: who opened it, by when its current exchange must end, and the request it
// is carrying (a connection carries one at a time).
struct ConnectionState {
    int fd = -1;
    std::string client;                     // the address bytes: the key of the per-client count
    std::atomic<std::int64_t> deadline{0};  // steady clock, nanoseconds since its epoch
    std::string target;                     // the request target as the client sent it
    bool answering = false;                 // the request's headers are in
    std::list<ConnectionState>::iterator self;

    void setDeadline(SteadyTime when) { deadline = when.time_since_epoch().count(); }
};

enum class Refusal { serverFull, clientLimit };

class ConnectionTable {
public:
    ConnectionTable(std::size_t maxConnections, std::size_t maxPerClient);
    ConnectionTable(const ConnectionTable&) = delete;
    ConnectionTable& operator=(const ConnectionTable&) = delete;

    // Reserves a place for a connection from addr, or refuses it and counts why.
    bool admit(const sockaddr* addr, socklen_t length);
    // The connection admitted last on this thread has started on fd. The state lives here
    // until close().
    ConnectionState& open(int fd, SteadyTime deadline);
    void close(ConnectionState& state);

    // Shuts down the socket of every connection past its deadline; the event loop then sees
    // it end and closes it. Returns how many were cut.
    std::size_t cutOverdue(SteadyTime now);

    std::size_t openCount() const;
    std::uint64_t refused(Refusal why) const;
    std::uint64_t cutCount() const { return m_nCut; }

private:
    void release(const std::string& client);

    const std::size_t m_nMaxConnections;
    const std::size_t m_nMaxPerClient;
    mutable std::mutex m_lock;
    std::list<ConnectionState> m_connections;
    std::size_t m_nReserved = 0;  // admitted, started or not yet
    std::unordered_map<std::string, std::size_t> m_perClient;
    std::atomic<std::uint64_t> m_nRefusedFull{0};
    std::atomic<std::uint64_t> m_nRefusedClient{0};
    std::atomic<std::uint64_t> m_nCut{0};
};

}  // namespace kestrova
