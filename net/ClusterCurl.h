// One HTTP session over one libcurl easy handle: a GET into memory (httpGet) or into a
// file (downloadFile). Each user makes its own session, runs one transfer and destroys
// it; sessions must not be created concurrently from several threads, because the first
// handle performs libcurl's global initialisation.
//
//   ClusterCurl curl;
//   std::string body;
//   CurlResult result = curl.httpGet(url, &body);
//   if (result.code == 200) { ... }
//
// Every failure is reported in the result and traced to the debugger output.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/CurlResult.h"
#include "net/IProgressSink.h"

class ClusterCurl {
public:
    // An answer held in memory and a downloaded file are bounded so that a hostile or
    // broken server cannot exhaust memory or disk.
    static constexpr std::int64_t kDefaultBodyLimit = std::int64_t{1} << 20;
    static constexpr std::int64_t kDefaultDownloadLimit = std::int64_t{32} << 20;

    ClusterCurl();
    ~ClusterCurl();
    ClusterCurl(const ClusterCurl&) = delete;
    ClusterCurl& operator=(const ClusterCurl&) = delete;

    // GET of url; the body is appended to *body (pass an empty string). With a null body
    // any answer with content fails as a write error.
    CurlResult httpGet(const std::string& url, std::string* body);

    // GET of url into saveDir + "/" + fileName by way of a ".temp" sibling; the target is
    // there only when the result is 200. saveDir must exist.
    CurlResult downloadFile(const std::string& url, const std::string& saveDir,
                            const std::string& fileName);

    // Releases the header list and the handle; further transfers fail cleanly.
    void cleanup();

    // Download observers, none by default. The stop flag is owned by the caller and may be
    // raised from another thread or a signal handler: it ends a running transfer (within
    // about a second, which fails it and removes a download's ".temp") and the final rename.
    void setProgressSink(IProgressSink* sink, std::int32_t cookie);
    void setStopFlag(const std::atomic<bool>* stop);

    // Size limits in bytes; a larger answer or file fails its transfer.
    void setBodyLimit(std::int64_t bytes) { m_nMaxBodySize = bytes; }
    void setDownloadLimit(std::int64_t bytes) { m_nMaxFileSize = bytes; }

private:
    CURLcode setCommonOptions();
    CURLcode setGetOptions(const std::string& url, curl_write_callback writer, void* sink);
    CURLcode setDownloadOptions(const std::string& url, void* sink);
    CURLcode setProgressOptions();
    CurlResult checkResponse(CURLcode code);
    CurlResult noHandle() const;
    CurlResult optionFailure(CURLcode code) const;

    static std::size_t httpDataWriter(char* data, std::size_t size, std::size_t count, void* user);
    static std::size_t fileDataWriter(char* data, std::size_t size, std::size_t count, void* user);
    static int downloadProgress(void* user, curl_off_t downloadTotal, curl_off_t downloaded,
                                curl_off_t uploadTotal, curl_off_t uploaded);
    void notifyProgress(double total, double received);

    std::int32_t m_nConnectTimeout = 30;
    std::int32_t m_nTimeout = 3600;
    CURL* m_pCurl = nullptr;
    std::int32_t m_nProgressCookie = 0;
    IProgressSink* m_pProgressSink = nullptr;
    const std::atomic<bool>* m_pStopFlag = nullptr;
    double m_dLastProgress = 0.0;
    std::int64_t m_nMaxBodySize = kDefaultBodyLimit;
    std::int64_t m_nMaxFileSize = kDefaultDownloadLimit;
    char m_szError[CURL_ERROR_SIZE] = {};
};
