// Routes, answers and limits of the sample server.
#include "server/AdvertServer.h"

#include <json/json.h>

#include <algorithm>
#include <thread>

#include <sys/socket.h>

namespace kestrova {

namespace {

constexpr const char* kJsonType = "application/json; charset=utf-8";

// A GET carries no body; anything larger than this is refused before it is read.
constexpr std::size_t kMaxRequestBody = 1024;
constexpr std::size_t kWorkerThreads = 8;
constexpr std::size_t kPictureChunk = 64 * 1024;

// The Host header is the client's own claim, echoed only into that client's answer; it is
// still held to host[:port] characters so it cannot smuggle anything into the URL.
bool isPlainHost(std::string_view host) {
    if (host.empty() || host.size() > 255) {
        return false;
    }
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '-' || c == ':' || c == '[' || c == ']';
    });
}

// Where this client reached us: its Host header when usable, otherwise the local address
// the connection arrived on, which is right even when listening on every interface.
std::string baseUrl(const httplib::Request& req) {
    std::string host = req.get_header_value("Host");
    if (!isPlainHost(host)) {
        const bool v6 = req.local_addr.find(':') != std::string::npos;
        host = (v6 ? "[" + req.local_addr + "]" : req.local_addr) + ":" +
               std::to_string(req.local_port);
    }
    return "http://" + host;
}

// The answer as the pop-up reads it: "type" 0 with "context" for a text advert, 1 with
// "img_url" for a picture advert; text stays UTF-8 rather than \u escapes.
std::string advertAnswer(const Advert& advert, const std::string& base) {
    Json::Value answer(Json::objectValue);
    answer["title"] = advert.title;
    if (advert.kind == AdvertKind::text) {
        answer["type"] = 0;
        answer["context"] = advert.text;
    } else {
        answer["type"] = 1;
        answer["img_url"] = base + "/images/" + advert.picture;
    }
    answer["click_url"] = advert.link;
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    writer["emitUTF8"] = true;
    return Json::writeString(writer, answer);
}

std::string_view queryOf(const std::string& target) {
    const std::size_t mark = target.find('?');
    return mark == std::string::npos ? std::string_view{}
                                     : std::string_view(target).substr(mark + 1);
}

std::string_view pathOf(const std::string& target) {
    return std::string_view(target).substr(0, target.find('?'));
}

}  // namespace

AdvertServer::AdvertServer(AdvertCatalog catalog, std::chrono::seconds minInterval, Clock clock,
                           std::ostream& log)
    : m_catalog(std::move(catalog)),
      m_clock(clock),
      m_selector(m_catalog.adverts, minInterval, std::move(clock)),
      m_log(log),
      m_server(m_limits) {
    configureLimits();
    installRoutes();
}

void AdvertServer::configureLimits() {
    m_server.set_payload_max_length(kMaxRequestBody);
    // The connection loop enforces these; the library only announces them to clients.
    m_server.set_keep_alive_timeout(m_limits.keepAliveTimeout.count());
    m_server.set_keep_alive_max_count(m_limits.keepAliveRequests);
    // The library owns and deletes the queue it gets from this factory.
    m_server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
}

void AdvertServer::installRoutes() {
    m_server.Get("/advert", [this](const httplib::Request& req, httplib::Response& res) {
        handleAdvert(req, res);
    });
    m_server.Get(R"(/images/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
        handleImage(req, res);
    });
    // Without this the library would put the exception's text into a response header.
    m_server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
            res.status = 500;
            res.set_content("", "text/plain");
        });
    // Logged just before the response is written rather than after, so that a client that
    // has its answer can rely on the line being there (and lines follow answer order).
    m_server.set_post_routing_handler(
        [this](const httplib::Request& req, httplib::Response& res) { logRequest(req, res); });
}

void AdvertServer::handleAdvert(const httplib::Request& req, httplib::Response& res) {
    std::optional<std::string> timeText;
    if (req.has_param("time")) {
        timeText = req.get_param_value("time");
    }
    const Advert* advert = m_selector.select(parseShownTime(timeText));
    // Rotation and the cap make every answer unique to its moment; no cache may keep one.
    res.set_header("Cache-Control", "no-store");
    if (advert == nullptr) {
        res.status = 204;
        return;
    }
    res.status = 200;
    res.set_content(advertAnswer(*advert, baseUrl(req)), kJsonType);
}

void AdvertServer::handleImage(const httplib::Request& req, httplib::Response& res) {
    // Only exact names from the adverts file are served, so "../" or any other path can
    // never reach the file system: the lookup simply fails.
    const std::string name = req.matches[1];
    auto found = m_catalog.pictures.find(name);
    if (found == m_catalog.pictures.end()) {
        res.status = 404;
        return;
    }
    const std::string& bytes = found->second.bytes;
    res.status = 200;
    // Streamed straight from the catalog's copy: no per-request copy of a large picture.
    res.set_content_provider(
        bytes.size(), found->second.contentType,
        [&bytes](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            const std::size_t chunk = std::min(length, kPictureChunk);
            return sink.write(bytes.data() + offset, chunk);
        });
}

void AdvertServer::logRequest(const httplib::Request& req, const httplib::Response& res) {
    m_log.write(formatRequestLine(m_clock(), pathOf(req.target), queryOf(req.target), res.status));
}

int AdvertServer::bind(const std::string& host, int port) {
    // The library's default also sets SO_REUSEPORT, which lets a second server bind the
    // same port silently and split the clients between the two; address reuse alone still
    // allows a quick restart.
    m_server.set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    });
    if (port == 0) {
        return m_server.bind_to_any_port(host);
    }
    return m_server.bind_to_port(host, port) ? port : -1;
}

bool AdvertServer::run() {
    // Paired with stop(): each sets its own flag before reading the other's, so at least
    // one of them sees the other and a stop can never be lost between the two threads.
    m_bRunStarted = true;
    if (m_bStopRequested) {
        m_bRunDone = true;
        return true;
    }
    const bool served = m_server.listen_after_bind();
    m_bRunDone = true;
    return served;
}

void AdvertServer::stop() {
    m_bStopRequested = true;
    // The library ignores a stop that arrives before its loop runs; wait for the loop.
    while (m_bRunStarted && !m_bRunDone && !m_server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    m_server.stop();
}

}  // namespace kestrova
