// The process-wide request object: asks the advert server for the current advert,
// telling it when an advert was last shown.
//
//   std::string body;
//   if (AdvertClient::GetInstance()->FetchAdvert(body)) { parseAdvert(body, advert); }
#pragma once

#include <cstdint>
#include <string>

namespace kestrova {

// The advert endpoint compiled into the product.
std::wstring advertEndpoint();

}  // namespace kestrova

class AdvertClient {
public:
    // Created on first use, safely against concurrent first calls, and never destroyed.
    static AdvertClient* GetInstance();

    AdvertClient(const AdvertClient&) = delete;
    AdvertClient& operator=(const AdvertClient&) = delete;

    // GET of the endpoint with the query "time" holding the stored last display time.
    // strBody receives the answer body in every case; true only for status 200. The
    // product always uses the compiled-in endpoint; the argument lets tests aim elsewhere.
    bool FetchAdvert(std::string& strBody,
                     const std::wstring& endpoint = kestrova::advertEndpoint());

    // One GET of strUrl through a fresh session; strBody receives the body whatever the
    // outcome, bSuccess whether it ended with 200.
    void GetText(std::string& strBody, bool& bSuccess, std::string strUrl);

    // The result code of the last GetText (200, an HTTP status, a libcurl code, -1 or -2);
    // 0 before the first. For the run's log line.
    std::int32_t GetLastCode() const { return m_nLastCode; }

private:
    AdvertClient() = default;

    std::int32_t m_nLastCode = 0;
};
