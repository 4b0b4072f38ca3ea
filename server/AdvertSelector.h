// Decides which advert, if any, a client gets: the frequency cap first, then round-robin
// rotation among the adverts whose date window holds today.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "server/AdvertCatalog.h"

namespace kestrova {

// Injected so that tests can stand at any moment, date-window edges included.
using Clock = std::function<std::chrono::sys_seconds()>;

// The wall clock, to the second.
std::chrono::sys_seconds systemNow();

// The client's last display time from the "time" query, or empty when it is absent or not
// a plain decimal count of seconds (which the cap treats as "never shown").
std::optional<std::int64_t> parseShownTime(std::optional<std::string_view> text);

// The longest cap accepted; it keeps the window arithmetic far from overflow.
inline constexpr std::chrono::seconds kMaxMinInterval{std::chrono::years{100}};

class AdvertSelector {
public:
    // minInterval zero turns the cap off. adverts must outlive the selector.
    AdvertSelector(const std::vector<Advert>& adverts, std::chrono::seconds minInterval,
                   Clock clock);

    struct Selection {
        const Advert* advert = nullptr;  // null: no advert now
        bool capped = false;             // null because of the frequency cap
    };

    // The advert to serve. Safe to call from many threads; concurrent callers are served in
    // turn.
    Selection select(std::optional<std::int64_t> lastShown);

    // A display at lastShown caps a request at now when
    //     now - minInterval < lastShown <= now + minInterval,
    // i.e. exactly minInterval seconds after a display the next advert is due again. A time
    // further in the future than one interval comes from a clock that was wrong; capping it
    // would lock that client out until its clock caught up, so it counts as never shown.
    bool isCapped(std::optional<std::int64_t> lastShown, std::chrono::sys_seconds now) const;

    static bool isInWindow(const Advert& advert, std::chrono::sys_seconds now);

private:
    const std::vector<Advert>& m_vAdverts;
    std::chrono::seconds m_nMinInterval;
    Clock m_clock;
    std::atomic<std::uint64_t> m_nNext{0};
};

}  // namespace kestrova
