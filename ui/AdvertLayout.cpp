// Sizes, intervals and the quoted link of the advert window.
#include "ui/AdvertLayout.h"

#include <algorithm>
#include <cstdint>

namespace kestrova {

int slideInterval(int height) {
    if (height < 0) {
        height = 0;
    }
    // Floating point and truncation toward zero, exactly as the timing table was made.
    int interval = static_cast<int>(10.0 - static_cast<double>(height) / 150.0);
    return interval <= 1 ? 1 : interval;
}

int textWindowHeight(int measuredTextHeight) {
    return std::max(measuredTextHeight + kTextChromeHeight, kTextWindowMinHeight);
}

SIZE fitInside(SIZE size, SIZE limit) {
    if (size.cx <= 0 || size.cy <= 0 || limit.cx <= 0 || limit.cy <= 0) {
        return size;
    }
    if (size.cx <= limit.cx && size.cy <= limit.cy) {
        return size;
    }
    // Compare the two scale factors exactly in integers: w/lw > h/lh <=> w*lh > h*lw.
    std::int64_t w = size.cx, h = size.cy, lw = limit.cx, lh = limit.cy;
    if (w * lh >= h * lw) {
        return SIZE{limit.cx, static_cast<LONG>(std::max<std::int64_t>(1, h * lw / w))};
    }
    return SIZE{static_cast<LONG>(std::max<std::int64_t>(1, w * lh / h)), limit.cy};
}

std::optional<std::wstring> quoteLink(std::wstring_view link) {
    if (link.size() > kMaxLinkLength) {
        return std::nullopt;
    }
    std::wstring quoted;
    quoted.reserve(link.size() + 2);
    quoted += L'"';
    quoted += link;
    quoted += L'"';
    return quoted;
}

}  // namespace kestrova
