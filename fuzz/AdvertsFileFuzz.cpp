// The sample server's adverts file: any text is refused with a message, or gives adverts
// that keep the file's promises (web links, valid UTF-8, pictures read and recognised,
// ordered dates) and whose answers the pop-up reads back exactly as the file wrote them.
// Pictures are looked up among the server's samples.
#include <algorithm>
#include <cctype>
#include <clocale>
#include <string>

#include "advert/ParseAdvert.h"
#include "fuzz/FuzzCheck.h"
#include "server/AdvertCatalog.h"
#include "server/AdvertSet.h"

namespace {

using namespace kestrova;

bool isWebLink(const std::string& link) {
    std::string scheme = link.substr(0, 8);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return (scheme.starts_with("http://") || scheme == "https://") &&
           std::none_of(link.begin(), link.end(),
                        [](unsigned char c) { return c <= 0x20 || c == 0x7f; });
}

void checkAnswer(const Advert& advert) {
    AdvertItem read;
    FUZZ_CHECK(parseAdvert(advertAnswer(advert, "http://h:1"), read));
    FUZZ_CHECK(read.title == advert.title && read.click_url == advert.link);
    if (advert.kind == AdvertKind::text) {
        FUZZ_CHECK(read.type == 0 && read.context == advert.text);
    } else {
        FUZZ_CHECK(read.type == 1 && read.img_url == "http://h:1/images/" + advert.picture);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C.UTF-8");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CatalogResult result =
        parseAdverts(fuzz::text(data, size), KESTROVA_SOURCE_DIR "/server/samples");
    if (!result.catalog) {
        FUZZ_CHECK(!result.error.empty());
        return 0;
    }
    for (const Advert& advert : result.catalog->adverts) {
        FUZZ_CHECK(isWebLink(advert.link));
        FUZZ_CHECK(advert.kind == AdvertKind::text ||
                   result.catalog->pictures.contains(advert.picture));
        FUZZ_CHECK(!advert.start || !advert.end || *advert.start <= *advert.end);
        checkAnswer(advert);
    }
    // Every answer is prepared when the adverts are taken into service.
    AdvertSet set(std::move(*result.catalog), std::chrono::seconds{0},
                  [] { return std::chrono::sys_seconds{}; });
    return 0;
}
