// Routes, answers and connection handling of the sample server.
#include "server/AdvertServer.h"

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <thread>

#include "server/RequestTarget.h"

namespace kestrova {

namespace {

using SteadyClock = std::chrono::steady_clock;

// A GET carries no body; one larger than this is refused.
constexpr std::size_t kMaxRequestBody = 1024;
// How often connections are checked against their deadlines.
constexpr std::chrono::milliseconds kSweepEvery{100};

std::string localAddress(int fd) {
    sockaddr_storage addr{};
    socklen_t length = sizeof addr;
    std::array<char, NI_MAXHOST> host{};
    std::array<char, NI_MAXSERV> port{};
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &length) != 0 ||
        getnameinfo(reinterpret_cast<const sockaddr*>(&addr), length, host.data(), host.size(),
                    port.data(), port.size(), NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return "127.0.0.1";
    }
    const std::string ip = host.data();
    return (ip.find(':') == std::string::npos ? ip : "[" + ip + "]") + ":" + port.data();
}

// Where this client reached us: its Host header when usable, otherwise the local address
// the connection arrived on, which is right even when listening on every interface.
std::string baseUrl(MHD_Connection* connection, int fd) {
    const char* host = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Host");
    if (host != nullptr && isPlainHost(host)) {
        return std::string("http://") + host;
    }
    return "http://" + localAddress(fd);
}

// A body the routes have no use for: refused before it is read when it is announced larger
// than a GET could need, or comes in chunks of unknown total.
bool hasLargeBody(MHD_Connection* connection) {
    if (MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Transfer-Encoding") != nullptr) {
        return true;
    }
    const char* length = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Length");
    return length != nullptr && std::strtoull(length, nullptr, 10) > kMaxRequestBody;
}

ConnectionState* stateOf(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info == nullptr ? nullptr : static_cast<ConnectionState*>(info->socket_context);
}

struct DaemonStop {
    void operator()(MHD_Daemon* daemon) const { MHD_stop_daemon(daemon); }
};

}  // namespace

// The library's entry points; cls is always the server.
struct AdvertServer::Callbacks {
    static AdvertServer& server(void* cls) { return *static_cast<AdvertServer*>(cls); }

    static MHD_Result admit(void* cls, const sockaddr* addr, socklen_t length) {
        return server(cls).m_connections.admit(addr, length) ? MHD_YES : MHD_NO;
    }

    static void connection(void* cls, MHD_Connection* connection, void** context,
                           MHD_ConnectionNotificationCode code) {
        AdvertServer& self = server(cls);
        if (code == MHD_CONNECTION_NOTIFY_STARTED) {
            const MHD_ConnectionInfo* info =
                MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
            *context = &self.m_connections.open(info == nullptr ? -1 : info->connect_fd,
                                                SteadyClock::now() + self.m_limits.requestTime);
        } else if (auto* state = static_cast<ConnectionState*>(*context); state != nullptr) {
            requestEnded(self, *state);
            self.m_connections.close(*state);
            *context = nullptr;
        }
    }

    // The request line has arrived: its target as sent, for the log.
    static void* requestLine(void*, const char* uri, MHD_Connection* connection) {
        ConnectionState* state = stateOf(connection);
        if (state != nullptr) {
            state->target = uri;
        }
        return state;
    }

    static MHD_Result request(void* cls, MHD_Connection* connection, const char* url,
                              const char* method, const char*, const char*, std::size_t* uploadSize,
                              void** context) {
        auto* state = static_cast<ConnectionState*>(*context);
        if (state == nullptr) {
            return MHD_NO;
        }
        return server(cls).onRequest(connection, *state, url, method, uploadSize);
    }

    static void completed(void* cls, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
        if (auto* state = static_cast<ConnectionState*>(*context); state != nullptr) {
            AdvertServer& self = server(cls);
            requestEnded(self, *state);
            // The next request on this connection has the whole request time again.
            state->setDeadline(SteadyClock::now() + self.m_limits.requestTime);
            *context = nullptr;
        }
    }

    static void requestEnded(AdvertServer& self, ConnectionState& state) {
        if (state.answering) {
            state.answering = false;
            --self.m_nAnswering;
        }
        state.target.clear();
    }
};

AdvertServer::AdvertServer(AdvertCatalog catalog, std::chrono::seconds minInterval, Clock clock,
                           std::ostream& log, ServerLimits limits)
    : m_minInterval(minInterval),
      m_clock(std::move(clock)),
      m_limits(limits),
      m_log(log),
      m_connections(limits.maxConnections, limits.maxPerClient),
      m_noAdvert(makeResponse("", {{"Cache-Control", "no-store"}})),
      m_healthy(makeResponse("ok\n", {{"Content-Type", "text/plain; charset=utf-8"}})),
      m_notFound(makeResponse("", {})),
      m_notAllowed(makeResponse("", {{"Allow", "GET, HEAD"}})),
      m_tooLarge(makeResponse("", {{"Connection", "close"}})),
      m_failed(makeResponse("", {})) {
    m_set = makeSet(std::move(catalog));
}

std::shared_ptr<AdvertSet> AdvertServer::makeSet(AdvertCatalog catalog) const {
    return std::make_shared<AdvertSet>(std::move(catalog), m_minInterval, m_clock);
}

void AdvertServer::replaceCatalog(AdvertCatalog catalog) {
    m_set = makeSet(std::move(catalog));
}

MHD_Result AdvertServer::onRequest(MHD_Connection* connection, ConnectionState& state,
                                   const char* url, const char* method, std::size_t* uploadSize) {
    const Route route = routeOf(url);
    if (!state.answering) {
        // The headers are in; from here the answer has its own deadline.
        state.answering = true;
        state.setDeadline(SteadyClock::now() + m_limits.answerTime);
        ++m_nAnswering;
        return hasLargeBody(connection) ? answer(connection, state, route, 413, m_tooLarge.get())
                                        : MHD_YES;
    }
    if (*uploadSize != 0) {
        *uploadSize = 0;  // a small body is read and dropped
        return MHD_YES;
    }
    const std::string_view verb(method);
    if (verb != "GET" && verb != "HEAD") {
        return answer(connection, state, route, 405, m_notAllowed.get());
    }
    switch (route) {
        case Route::advert:
            return answerAdvert(connection, state);
        case Route::images:
            return answerImage(connection, state, std::string_view(url).substr(8), verb == "GET");
        case Route::healthz:
            return answer(connection, state, route, 200, m_healthy.get());
        case Route::metrics: {
            const std::shared_ptr<AdvertSet> set = m_set.load();
            HttpResponse text =
                makeResponse(m_metrics.render(*set, m_connections),
                             {{"Content-Type", "text/plain; version=0.0.4; charset=utf-8"}});
            return answer(connection, state, route, 200, text.get());
        }
        case Route::other:
            break;
    }
    return answer(connection, state, route, 404, m_notFound.get());
}

MHD_Result AdvertServer::answerAdvert(MHD_Connection* connection, const ConnectionState& state) {
    const char* time = MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "time");
    const std::optional<std::string_view> timeText =
        time == nullptr ? std::nullopt : std::optional<std::string_view>(time);
    const std::shared_ptr<AdvertSet> set = m_set.load();
    const AdvertSet::Choice choice = set->choose(parseShownTime(timeText));
    if (!choice.index) {
        if (choice.capped) {
            m_metrics.countCapped();
        }
        return answer(connection, state, Route::advert, 204, m_noAdvert.get());
    }
    if (MHD_Response* ready = set->readyAnswer(*choice.index)) {
        return answer(connection, state, Route::advert, 200, ready);
    }
    HttpResponse built = makeResponse(
        set->pictureAnswer(*choice.index, baseUrl(connection, state.fd)),
        {{"Content-Type", "application/json; charset=utf-8"}, {"Cache-Control", "no-store"}});
    return answer(connection, state, Route::advert, 200, built.get());
}

MHD_Result AdvertServer::answerImage(MHD_Connection* connection, const ConnectionState& state,
                                     std::string_view name, bool withBody) {
    // Only exact names from the adverts file are served, so "../" or any other path can
    // never reach the file system: the lookup simply fails.
    const std::shared_ptr<AdvertSet> set = m_set.load();
    const AdvertSet::Picture* picture = set->picture(name);
    if (picture == nullptr) {
        return answer(connection, state, Route::images, 404, m_notFound.get());
    }
    if (withBody) {
        m_metrics.countPictureBytes(picture->size);
    }
    // The library takes its own reference: the picture outlives a reload while it is sent.
    return answer(connection, state, Route::images, 200, picture->response.get());
}

MHD_Result AdvertServer::answer(MHD_Connection* connection, const ConnectionState& state,
                                Route route, int status, MHD_Response* response) {
    if (response == nullptr) {
        status = 500;
        response = m_failed.get();
    }
    m_metrics.countRequest(route, status);
    // Logged before the answer is queued, so that a client that has its answer can rely on
    // the line being there.
    m_log.write(formatRequestLine(m_clock(), pathOf(state.target), queryOf(state.target), status));
    return MHD_queue_response(connection, static_cast<unsigned>(status), response);
}

int AdvertServer::bind(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found) != 0) {
        return -1;
    }
    std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> addresses(found, freeaddrinfo);
    for (const addrinfo* at = found; at != nullptr; at = at->ai_next) {
        FileDescriptor sock(
            ::socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        // Address reuse allows a quick restart. Port sharing is left off: it would let a
        // second server bind the same port silently and split the clients between the two.
        const int yes = 1;
        if (!sock.valid() ||
            ::setsockopt(sock.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes) != 0 ||
            ::bind(sock.get(), at->ai_addr, at->ai_addrlen) != 0 ||
            ::listen(sock.get(), SOMAXCONN) != 0) {
            continue;
        }
        sockaddr_storage bound{};
        socklen_t length = sizeof bound;
        if (getsockname(sock.get(), reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
            continue;
        }
        std::array<char, NI_MAXSERV> boundPort{};
        getnameinfo(reinterpret_cast<const sockaddr*>(&bound), length, nullptr, 0, boundPort.data(),
                    boundPort.size(), NI_NUMERICSERV);
        m_listening = std::move(sock);
        return std::atoi(boundPort.data());
    }
    return -1;
}

bool AdvertServer::run() {
    {
        std::lock_guard<std::mutex> guard(m_stopLock);
        if (m_bStopRequested) {
            return true;
        }
    }
    if (!m_listening.valid()) {
        return false;
    }
    const unsigned threads = m_limits.threads != 0
                                 ? m_limits.threads
                                 : std::max(1u, std::thread::hardware_concurrency());
    // The library's own count is only a backstop above the table's, which counts refusals.
    const auto backstop = static_cast<unsigned>(m_limits.maxConnections * 2 + 64);
    std::unique_ptr<MHD_Daemon, DaemonStop> daemon(MHD_start_daemon(
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_USE_ITC, 0, &Callbacks::admit, this,
        &Callbacks::request, this, MHD_OPTION_LISTEN_SOCKET, m_listening.get(),
        MHD_OPTION_THREAD_POOL_SIZE, threads, MHD_OPTION_CONNECTION_LIMIT, backstop,
        MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(m_limits.idleTimeout.count()),
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, m_limits.connectionMemory, MHD_OPTION_URI_LOG_CALLBACK,
        &Callbacks::requestLine, this, MHD_OPTION_NOTIFY_COMPLETED, &Callbacks::completed, this,
        MHD_OPTION_NOTIFY_CONNECTION, &Callbacks::connection, this, MHD_OPTION_END));
    if (!daemon) {
        return false;
    }
    serveUntilStopped();
    drain(daemon.get());
    daemon.reset();
    m_listening = FileDescriptor();
    return true;
}

void AdvertServer::serveUntilStopped() {
    std::unique_lock<std::mutex> lock(m_stopLock);
    while (!m_bStopRequested) {
        m_stopSignal.wait_for(lock, kSweepEvery);
        lock.unlock();
        m_connections.cutOverdue(SteadyClock::now());
        lock.lock();
    }
}

void AdvertServer::drain(MHD_Daemon* daemon) {
    const MHD_socket listening = MHD_quiesce_daemon(daemon);
    if (listening == MHD_INVALID_SOCKET) {
        m_listening.release();  // the library closes it when it stops
    } else {
        // New connections are refused from now on rather than left waiting in the backlog.
        ::shutdown(listening, SHUT_RDWR);
    }
    const auto end = SteadyClock::now() + m_limits.drainTime;
    while (m_nAnswering > 0 && SteadyClock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void AdvertServer::stop() {
    std::lock_guard<std::mutex> guard(m_stopLock);
    m_bStopRequested = true;
    m_stopSignal.notify_all();
}

}  // namespace kestrova
