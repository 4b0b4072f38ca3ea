// The sample server's handling of a request, through the functions its handler calls:
// route and log line from the target, the cap from the "time" argument, the picture
// advert's answer from the Host header. Whatever a client sends, the log line stays one
// bounded line of printable text, only listed pictures are found, and the answer is one
// the pop-up reads with the picture's address intact.
//
// Input: TARGET "\n" HOST "\n" TIME. The HTTP library's own parsing of the request (Debian's
// libmicrohttpd, which hands the handler these three) is not part of this target.
#include <algorithm>
#include <clocale>
#include <string>

#include "advert/ParseAdvert.h"
#include "fuzz/FuzzCheck.h"
#include "server/AdvertSet.h"
#include "server/RequestLog.h"
#include "server/RequestTarget.h"

namespace {

using namespace std::chrono;
using namespace kestrova;

constexpr sys_seconds kNow{seconds{1'700'000'000}};

AdvertSet& adverts() {
    static AdvertSet set = [] {
        AdvertCatalog catalog;
        catalog.adverts.push_back(
            {AdvertKind::text, "Text", "Hello", "", "https://t.example/", {}, {}});
        catalog.adverts.push_back(
            {AdvertKind::picture, "Picture", "", "a-1.png", "https://p.example/", {}, {}});
        catalog.pictures["a-1.png"] = Picture{"image/png", "\x89PNG\r\n\x1a\n"};
        return AdvertSet(std::move(catalog), hours{1}, [] { return kNow; });
    }();
    return set;
}

bool printable(std::string_view line) {
    return std::all_of(line.begin(), line.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7f;
    });
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C.UTF-8");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto parts = fuzz::fields(fuzz::text(data, size), 3);
    const std::string_view target = parts[0], host = parts[1], time = parts[2];

    const std::string line = formatRequestLine(kNow, pathOf(target), queryOf(target), 200);
    FUZZ_CHECK(printable(line) && line.size() <= 20 + 1 + 515 + 2 + 515 + 4);

    const std::string_view path = pathOf(target);
    if (routeOf(path) == Route::images) {
        FUZZ_CHECK((adverts().picture(path.substr(8)) != nullptr) == (path == "/images/a-1.png"));
    }

    const std::optional<std::int64_t> shown = parseShownTime(time);
    FUZZ_CHECK(!shown || time.find_first_not_of("-0123456789") == std::string_view::npos);
    const AdvertSet::Choice choice = adverts().choose(shown);
    if (!choice.index || adverts().readyAnswer(*choice.index) != nullptr) {
        return 0;
    }
    const std::string base =
        isPlainHost(host) ? "http://" + std::string(host) : "http://127.0.0.1:80";
    AdvertItem read;
    FUZZ_CHECK(parseAdvert(adverts().pictureAnswer(*choice.index, base), read));
    FUZZ_CHECK(read.type == 1 && read.img_url == base + "/images/a-1.png" &&
               read.click_url == "https://p.example/");
    return 0;
}
