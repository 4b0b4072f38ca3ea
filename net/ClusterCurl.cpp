// The session's life cycle, its shared options, the in-memory GET and the judgement of a
// finished transfer. The file download lives in DownloadFile.cpp.
#include "net/ClusterCurl.h"

#include <cerrno>

#include "net/DebugTrace.h"
#include "util/BuildSettings.h"

namespace {

constexpr const char* kUserAgent =
    "Mozilla/5.0 (Windows; U; Windows NT 5.1; zh-CN; rv:1.9.2.3) Gecko/20100401 Firefox/3.6.3";

// The URLs come from an unauthenticated answer: only web transfers are allowed, also
// after a redirect, so an answer can never make the session read local files or talk to
// other kinds of local services.
constexpr const char* kAllowedProtocols = "http,https";

// A server that redirects in a loop is left after this many hops, and one that trickles
// its answer slower than kLowSpeedBytes per second for kLowSpeedSeconds is given up; the
// designed connect and transfer limits alone would wait up to an hour.
constexpr long kMaxRedirects = 10;
constexpr long kLowSpeedBytes = 100;
constexpr long kLowSpeedSeconds = 30;

// What httpDataWriter is handed: the caller's string and the bytes still allowed.
struct HttpBody {
    std::string* body;
    std::int64_t limit;
    std::int64_t received;
};

}  // namespace

ClusterCurl::ClusterCurl() {
    m_pCurl = curl_easy_init();
    if (m_pCurl == nullptr) {
        debugTrace("curl_easy_init() failed: %d\n", errno);
    }
}

ClusterCurl::~ClusterCurl() {
    cleanup();
}

void ClusterCurl::cleanup() {
    if (m_pCurl != nullptr) {
        curl_easy_cleanup(m_pCurl);
        m_pCurl = nullptr;
    }
}

void ClusterCurl::setProgressSink(IProgressSink* sink, std::int32_t cookie) {
    m_pProgressSink = sink;
    m_nProgressCookie = cookie;
}

void ClusterCurl::setStopFlag(const std::atomic<bool>* stop) {
    m_pStopFlag = stop;
}

CURLcode ClusterCurl::setCommonOptions() {
    CURLcode code = CURLE_OK;
    if (kUserAgent[0] != '\0') {
        code = curl_easy_setopt(m_pCurl, CURLOPT_USERAGENT, kUserAgent);
    }
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_FOLLOWLOCATION, 1L);
    }
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_MAXREDIRS, kMaxRedirects);
    }
    // The answer, the picture and the link come from this server: its certificate must be
    // valid for its name and chain to the system's CAs, or to the vendor's own CA file named
    // at build time, which then replaces the system's store.
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_SSL_VERIFYPEER, 1L);
    }
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_SSL_VERIFYHOST, 2L);
    }
    if (const char* bundle = kestrova::builtInCaBundle(); code == CURLE_OK && *bundle != '\0') {
        code = curl_easy_setopt(m_pCurl, CURLOPT_CAINFO, bundle);
        if (code == CURLE_OK) {
            code = curl_easy_setopt(m_pCurl, CURLOPT_CAPATH, nullptr);
        }
    }
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_CONNECTTIMEOUT, long{m_nConnectTimeout});
    }
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_TIMEOUT, long{m_nTimeout});
    }
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytes);
    }
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_LOW_SPEED_TIME, kLowSpeedSeconds);
    }
    // libcurl's own account of a failure ("Operation too slow...", "Maximum (10) redirects
    // followed", the certificate problem) goes to the trace beside the result code's text.
    m_szError[0] = '\0';
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_ERRORBUFFER, m_szError);
    }
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
    }
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
    }
    return code;
}

// The GET both transfers share, in the designed order: method, URL, common options, writer.
CURLcode ClusterCurl::setGetOptions(const std::string& url, curl_write_callback writer,
                                    void* sink) {
    CURLcode code = curl_easy_setopt(m_pCurl, CURLOPT_HTTPGET, 1L);
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_URL, url.c_str());
    }
    if (code == CURLE_OK) {
        code = setCommonOptions();
    }
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_WRITEFUNCTION, writer);
    }
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_WRITEDATA, sink);
    }
    return code;
}

CurlResult ClusterCurl::httpGet(const std::string& url, std::string* body) {
    if (m_pCurl == nullptr) {
        return noHandle();
    }
    HttpBody sink{body, m_nMaxBodySize, 0};
    CURLcode code = setGetOptions(url, &ClusterCurl::httpDataWriter, &sink);
    if (code == CURLE_OK) {
        // Rejects an announced oversized answer before any of it is received.
        code = curl_easy_setopt(m_pCurl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t{m_nMaxBodySize});
    }
    if (code == CURLE_OK && m_pStopFlag != nullptr) {
        // Only the progress callback can see the stop flag while the transfer runs.
        code = setProgressOptions();
    }
    if (code != CURLE_OK) {
        return optionFailure(code);
    }
    return checkResponse(curl_easy_perform(m_pCurl));
}

std::size_t ClusterCurl::httpDataWriter(char* data, std::size_t size, std::size_t count,
                                        void* user) {
    auto* sink = static_cast<HttpBody*>(user);
    if (sink == nullptr || sink->body == nullptr) {
        debugTrace("ClusterCurl httpDataWriter data error(%d) \n", errno);
        return 0;
    }
    const std::size_t bytes = size * count;
    if (static_cast<std::int64_t>(bytes) > sink->limit - sink->received) {
        debugTrace("ClusterCurl httpDataWriter body over %lld bytes \n",
                   static_cast<long long>(sink->limit));
        return 0;
    }
    // Returning a short count makes libcurl end the transfer with its write error; no
    // exception may cross its C frames.
    try {
        sink->body->append(data, bytes);
    } catch (...) {
        return 0;
    }
    sink->received += static_cast<std::int64_t>(bytes);
    return bytes;
}

CurlResult ClusterCurl::checkResponse(CURLcode code) {
    const char* text = curl_easy_strerror(code);
    long status = 0;
    if (curl_easy_getinfo(m_pCurl, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK) {
        status = 0;
    }
    CurlResult result;
    result.message = text;
    if (code == CURLE_OK && status == 200) {
        result.code = 200;
        return result;
    }
    // A status line says how the server answered, but an answer that then broke off (cut,
    // timed out, over its limit) is incomplete: after a 200 the libcurl code is what counts.
    long reported = status != 0 ? status : static_cast<long>(code);
    if (code != CURLE_OK && status == 200) {
        reported = static_cast<long>(code);
    }
    debugTrace("curl send msg error: pRes=%s, lResCode=%ld \n", text, reported);
    if (code != CURLE_OK && m_szError[0] != '\0') {
        debugTrace("curl error detail: %s \n", m_szError);
    }
    result.code = static_cast<std::int32_t>(reported);
    return result;
}

CurlResult ClusterCurl::noHandle() const {
    debugTrace("curl_easy_init() failed: m_pCurl == NULL\n");
    return CurlResult{-1, "m_pCurl == NULL"};
}

CurlResult ClusterCurl::optionFailure(CURLcode code) const {
    const char* text = curl_easy_strerror(code);
    debugTrace("curl send msg error: pRes=%s, lResCode=%ld \n", text, static_cast<long>(code));
    return CurlResult{static_cast<std::int32_t>(code), text};
}

CURLcode ClusterCurl::setProgressOptions() {
    CURLcode code = curl_easy_setopt(m_pCurl, CURLOPT_NOPROGRESS, 0L);
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_XFERINFOFUNCTION, &ClusterCurl::downloadProgress);
    }
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_XFERINFODATA, this);
    }
    return code;
}

int ClusterCurl::downloadProgress(void* user, curl_off_t downloadTotal, curl_off_t downloaded,
                                  curl_off_t /*uploadTotal*/, curl_off_t /*uploaded*/) {
    auto* self = static_cast<ClusterCurl*>(user);
    // A raised stop flag ends the transfer (libcurl calls this about once a second even
    // while nothing arrives); progress itself never does.
    if (self->m_pStopFlag != nullptr && self->m_pStopFlag->load()) {
        return 1;
    }
    self->notifyProgress(static_cast<double>(downloadTotal), static_cast<double>(downloaded));
    return 0;
}

void ClusterCurl::notifyProgress(double total, double received) {
    if (m_pProgressSink == nullptr) {
        return;
    }
    if (m_pStopFlag != nullptr && m_pStopFlag->load()) {
        return;
    }
    // Notify once per further 1 % of a known size; while the size is unknown (total 0)
    // the step is 0 and every call notifies.
    const auto advance = static_cast<std::int64_t>(received - m_dLastProgress);
    const auto step = static_cast<std::int64_t>(total * 0.01);
    if (advance < step) {
        return;
    }
    m_dLastProgress = received;
    try {
        m_pProgressSink->onProgress(1, m_nProgressCookie, total, received);
    } catch (...) {
        debugTrace("ClusterCurl progress sink failed \n");
    }
}
