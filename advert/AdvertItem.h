// The advert as read from the server's answer.
#pragma once

#include <cstdint>
#include <string>

struct AdvertItem {
    // Headline and message, in the locale's narrow encoding.
    std::string title;
    // 0 text advert, 1 picture advert; any other value means no advert.
    std::int32_t type = 0;
    std::string context;
    // Addresses exactly as the answer carried them (UTF-8 bytes).
    std::string img_url;
    std::string click_url;
};
