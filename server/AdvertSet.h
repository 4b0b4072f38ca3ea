// One adverts file as it is served: its catalog, rotation and cap, and every answer that does
// not depend on the request, built once. A reload builds a new set and swaps it in whole, so
// each request sees the old set or the new one, never a mix.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/AdvertCatalog.h"
#include "server/AdvertSelector.h"
#include "server/HttpResponse.h"

namespace kestrova {

// The answer as the pop-up reads it: "type" 0 with "context" for a text advert, 1 with
// "img_url" for a picture advert; text stays UTF-8 rather than \u escapes. baseUrl is where
// the client reached the server, without a trailing slash.
std::string advertAnswer(const Advert& advert, std::string_view baseUrl);

class AdvertSet {
public:
    AdvertSet(AdvertCatalog catalog, std::chrono::seconds minInterval, Clock clock);
    AdvertSet(const AdvertSet&) = delete;
    AdvertSet& operator=(const AdvertSet&) = delete;

    struct Choice {
        std::optional<std::size_t> index;  // the advert's entry in the file; empty: none
        bool capped = false;
    };
    // Picks the advert for a client and counts it as served.
    Choice choose(std::optional<std::int64_t> lastShown);

    // The whole answer for a text advert; null for a picture advert, whose answer names the
    // address the client used (pictureAnswer).
    MHD_Response* readyAnswer(std::size_t index) const { return m_answers[index].ready.get(); }
    std::string pictureAnswer(std::size_t index, std::string_view baseUrl) const;

    struct Picture {
        HttpResponse response;
        std::size_t size = 0;
    };
    // A picture the adverts file lists, or null.
    const Picture* picture(std::string_view name) const;

    const std::vector<Advert>& adverts() const { return m_catalog.adverts; }
    std::uint64_t servedCount(std::size_t index) const { return m_served[index].load(); }

private:
    struct Answer {
        HttpResponse ready;
        std::string head, tail;  // a picture advert's answer around its base URL
    };

    AdvertCatalog m_catalog;
    AdvertSelector m_selector;
    std::vector<Answer> m_answers;
    std::map<std::string, Picture, std::less<>> m_pictures;
    std::unique_ptr<std::atomic<std::uint64_t>[]> m_served;
};

}  // namespace kestrova
