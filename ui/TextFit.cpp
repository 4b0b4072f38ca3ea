// The cut is found by measuring candidates rather than by asking the layout for its
// lines, so that it agrees with DrawTextW, the one measure the window is sized by.
#include "ui/TextFit.h"

#include <climits>
#include <cwctype>

#include "ui/AdvertLayout.h"

namespace kestrova {
namespace {

constexpr wchar_t kEllipsis = L'\u2026';

std::wstring withEllipsis(std::wstring_view text, size_t length) {
    std::wstring_view kept = text.substr(0, length);
    while (!kept.empty() && std::iswspace(static_cast<wint_t>(kept.back()))) {
        kept.remove_suffix(1);
    }
    std::wstring out(kept);
    out += kEllipsis;
    return out;
}

}  // namespace

int measureWrapped(HDC dc, std::wstring_view text, int width) {
    RECT rc{0, 0, width, kTextMeasureBottom};
    int length = static_cast<int>(std::min<size_t>(text.size(), INT_MAX));
    DrawTextW(dc, text.data(), length, &rc, DT_CALCRECT | DT_WORDBREAK);
    return rc.bottom;
}

namespace {

// Texts up to this long are measured whole; more than a work area of lines holds.
constexpr size_t kFirstBeginning = 4096;

// The length of the first beginning of text (growing fourfold from kFirstBeginning) that
// is taller than maxHeight wrapped at width, or 0 when the whole text is not. A beginning
// is never taller than the whole, so a long text is judged by what can show of it.
size_t firstTooTall(HDC dc, std::wstring_view text, int width, int maxHeight) {
    for (size_t length = kFirstBeginning; length < text.size(); length *= 4) {
        if (measureWrapped(dc, text.substr(0, length), width) > maxHeight) {
            return length;
        }
    }
    return measureWrapped(dc, text, width) > maxHeight ? text.size() : 0;
}

}  // namespace

FittedText fitTextHeight(HDC dc, std::wstring_view text, int width, int maxHeight) {
    const size_t tooTall = firstTooTall(dc, text, width, maxHeight);
    if (tooTall == 0) {
        return {std::wstring(text), measureWrapped(dc, text, width), false};
    }
    auto fits = [&](size_t length) {
        return measureWrapped(dc, withEllipsis(text, length), width) <= maxHeight;
    };
    // Gallop up from a short beginning, then bisect: the cost follows what is visible,
    // not the length of the whole text. Invariant: fits(good), !fits(bad).
    size_t good = 0, bad = tooTall;
    for (size_t probe = 64; probe < bad; probe *= 2) {
        if (!fits(probe)) {
            bad = probe;
            break;
        }
        good = probe;
    }
    while (bad - good > 1) {
        size_t mid = good + (bad - good) / 2;
        (fits(mid) ? good : bad) = mid;
    }
    std::wstring cut = withEllipsis(text, good);
    int height = measureWrapped(dc, cut, width);
    return {std::move(cut), height, true};
}

}  // namespace kestrova
