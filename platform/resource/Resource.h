// Resources embedded in the executable at build time, found by type and id as the
// design's resource calls find them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kestrova {

inline constexpr std::string_view kSkinResourceType = "ZIPRES";
inline constexpr int kSkinResourceId = 104;       // "AdvertisingSkin.zip"
inline constexpr std::string_view kIconResourceType = "ICON";
inline constexpr int kIconResourceId = 102;       // the program icon, a 48 x 48 PNG

// The bytes of the resource, or an empty span when the program holds no such resource.
std::span<const std::uint8_t> findResource(std::string_view type, int id);

}  // namespace kestrova
