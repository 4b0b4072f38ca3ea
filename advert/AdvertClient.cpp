// The advert request: URL building, the lazily created request object, and the GET.
#include "advert/AdvertClient.h"

#include <atomic>
#include <iterator>

#include <utf8.h>

#include "advert/DisplayTimeStore.h"
#include "log/MyLock.h"
#include "net/ClusterCurl.h"
#include "platform/terminate/TerminationRequest.h"
#include "util/BuildSettings.h"
#include "util/StaticOrder.h"
#include "util/TextConvert.h"

namespace {

// The request URL is cut here, as long stored text would otherwise make it unbounded.
constexpr std::size_t kMaxUrlLength = 1023;

// Guards only the first creation of the request object. Constant-initialised, so it
// exists before any code runs; the priority places its destructor's registration after
// the logger lock's whatever the link order, so it is destroyed before that lock.
__attribute__((
    init_priority(kestrova::kRequestMutexPriority))) constinit MyLock::CMutex g_requestMutex;
std::atomic<AdvertClient*> g_pInstance{nullptr};

}  // namespace

namespace kestrova {

std::wstring advertEndpoint() {
    // The setting is UTF-8 source text, whatever the process locale.
    const std::string endpoint = builtInAdvertEndpoint();
    std::string valid;
    utf8::replace_invalid(endpoint.begin(), endpoint.end(), std::back_inserter(valid));
    std::wstring wide;
    utf8::utf8to32(valid.begin(), valid.end(), std::back_inserter(wide));
    return wide;
}

}  // namespace kestrova

AdvertClient* AdvertClient::GetInstance() {
    AdvertClient* instance = g_pInstance.load(std::memory_order_acquire);
    if (instance == nullptr) {
        MyLock::CAutoMutex guard(&g_requestMutex);
        instance = g_pInstance.load(std::memory_order_relaxed);
        if (instance == nullptr) {
            instance = new AdvertClient();
            g_pInstance.store(instance, std::memory_order_release);
        }
    }
    return instance;
}

bool AdvertClient::FetchAdvert(std::string& strBody, const std::wstring& endpoint) {
    // The stored time goes out as it was stored: the server is the one that reads it.
    const std::wstring lastTime = readLastAdvTime(getConfigPath());
    const bool hasQuery = endpoint.find(L'?') != std::wstring::npos;
    std::wstring url = endpoint + (hasQuery ? L"&time=" : L"?time=") + lastTime;
    if (url.size() > kMaxUrlLength) {
        url.resize(kMaxUrlLength);
    }
    std::string narrowUrl;
    try {
        narrowUrl = wideToAnsi(url);
    } catch (const kestrova::TextConversionError&) {
        // A URL that cannot be written in the locale's encoding cannot be requested.
        strBody.clear();
        return false;
    }
    std::string body;
    bool success = false;
    GetInstance()->GetText(body, success, narrowUrl);
    strBody = body;
    return success;
}

void AdvertClient::GetText(std::string& strBody, bool& bSuccess, std::string strUrl) {
    ClusterCurl curl;
    // A termination signal ends a request the server keeps waiting.
    curl.setStopFlag(&kestrova::terminationRequested());
    std::string body;
    const CurlResult result = curl.httpGet(strUrl, &body);
    m_nLastCode = result.code;
    bSuccess = result.code == 200;
    strBody = body;
}
