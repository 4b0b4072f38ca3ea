// Frequency cap, date windows and rotation.
#include "server/AdvertSelector.h"

#include <algorithm>
#include <charconv>

namespace kestrova {

std::chrono::sys_seconds systemNow() {
    return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
}

std::optional<std::int64_t> parseShownTime(std::optional<std::string_view> text) {
    if (!text || text->empty()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const char* first = text->data();
    const char* last = first + text->size();
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) {
        return std::nullopt;
    }
    return value;
}

AdvertSelector::AdvertSelector(const std::vector<Advert>& adverts, std::chrono::seconds minInterval,
                               Clock clock)
    : m_vAdverts(adverts),
      m_nMinInterval(std::clamp(minInterval, std::chrono::seconds{0}, kMaxMinInterval)),
      m_clock(std::move(clock)) {}

bool AdvertSelector::isCapped(std::optional<std::int64_t> lastShown,
                              std::chrono::sys_seconds now) const {
    if (!lastShown || m_nMinInterval.count() == 0) {
        return false;
    }
    const std::int64_t nowCount = now.time_since_epoch().count();
    const std::int64_t interval = m_nMinInterval.count();
    return *lastShown > nowCount - interval && *lastShown <= nowCount + interval;
}

bool AdvertSelector::isInWindow(const Advert& advert, std::chrono::sys_seconds now) {
    const std::chrono::sys_days today = std::chrono::floor<std::chrono::days>(now);
    return (!advert.start || *advert.start <= today) && (!advert.end || today <= *advert.end);
}

AdvertSelector::Selection AdvertSelector::select(std::optional<std::int64_t> lastShown) {
    const std::chrono::sys_seconds now = m_clock();
    if (isCapped(lastShown, now)) {
        return {nullptr, true};
    }
    auto current = [now](const Advert& advert) { return isInWindow(advert, now); };
    const auto count =
        static_cast<std::uint64_t>(std::count_if(m_vAdverts.begin(), m_vAdverts.end(), current));
    if (count == 0) {
        return {};
    }
    // One shared ticket counter: each served request takes the next advert in turn, so
    // concurrent requests each take their own turn without a lock.
    std::uint64_t turn = m_nNext.fetch_add(1, std::memory_order_relaxed) % count;
    for (const Advert& advert : m_vAdverts) {
        if (current(advert) && turn-- == 0) {
            return {&advert, false};
        }
    }
    return {};
}

}  // namespace kestrova
