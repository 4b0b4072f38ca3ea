// The arithmetic of laying out and sliding the advert window, kept apart from the window
// so that every boundary can be checked without one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/UIlib.h"

namespace kestrova {

// Text page: the text is measured in a rectangle of this width; the window is that plus
// its margins wide and the text plus the rows above and below it high, never less than
// the minimum.
inline constexpr int kTextMeasureWidth = 280;
inline constexpr int kTextMeasureBottom = 9999;
inline constexpr int kTextWindowWidth = 320;
inline constexpr int kTextChromeHeight = 90;
inline constexpr int kTextWindowMinHeight = 180;
// Picture page when the picture cannot be loaded.
inline constexpr int kPictureFallbackWidth = 320;
inline constexpr int kPictureFallbackHeight = 250;

inline constexpr UINT_PTR kSlideTimerId = 0x4000;
inline constexpr int kSlideStepPixels = 10;
// Only releases below the title row open the link; the row holds the close button.
inline constexpr int kTitleRowHeight = 30;
// The message that carries an assistive tool's action request (wParam: the node) from
// the accessibility bridge's thread to the window's.
inline constexpr UINT kAccessActionMessage = WM_APP + 0x15;
// The quoted link lives in a buffer of this many units, the terminating NUL included, so a
// link may have at most kMaxLinkLength characters.
inline constexpr size_t kQuotedLinkUnits = 1024;
inline constexpr size_t kMaxLinkLength = kQuotedLinkUnits - 3;

// Milliseconds between slide ticks: 10 - height / 150 truncated, at least 1. A taller
// window ticks faster so that every slide takes roughly as long. Negative heights (no
// window) tick like an empty one.
int slideInterval(int height);

// Window height for a measured text height: text + 90, at least 180.
int textWindowHeight(int measuredTextHeight);

// The size as large as possible within limit, keeping size's proportions; sizes that
// already fit are returned unchanged. Degenerate sizes are returned as they are.
SIZE fitInside(SIZE size, SIZE limit);

// The link between double quotes; nothing for a link longer than kMaxLinkLength, which
// cut to the buffer would be a different address.
std::optional<std::wstring> quoteLink(std::wstring_view link);

}  // namespace kestrova
