// The server's answer as the pop-up reads it: any body gives an advert or false and leaves
// the advert alone; in the UTF-8 locale the program adopts nothing may throw.
#include <clocale>
#include <string>

#include "advert/ParseAdvert.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C.UTF-8");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const AdvertItem untouched{"untouched", 99, "c", "i", "k"};
    AdvertItem item = untouched;
    if (!parseAdvert(std::string(kestrova::fuzz::text(data, size)), item)) {
        FUZZ_CHECK(item.title == untouched.title && item.type == untouched.type &&
                   item.context == untouched.context && item.img_url == untouched.img_url &&
                   item.click_url == untouched.click_url);
    }
    return 0;
}
