// Fonts, drawing contexts and text measuring on pango. Hinting of metrics is switched
// off so that a text measures the same in the 1 x 1 measuring context as where it is
// finally drawn, at any scale the host applies.
#include "platform/ui/UIText.h"

#include <cmath>
#include <map>
#include <string>
#include <utility>

#include "platform/ui/UIString.h"

namespace {

// Whether the font map has the family itself rather than a substitute. The question goes
// through the same font map that lays text out: asking fontconfig directly while the map
// is still loading its configuration on its own thread made both load it. Answers are
// kept: a layout names the same few families again and again.
bool familyInstalled(const std::string& family) {
    static std::map<std::string, bool> known;
    if (auto it = known.find(family); it != known.end()) {
        return it->second;
    }
    PangoFontMap* map = pango_cairo_font_map_get_default();
    PangoContext* context = pango_font_map_create_context(map);
    PangoFontDescription* wanted = pango_font_description_new();
    pango_font_description_set_family(wanted, family.c_str());
    bool installed = false;
    if (PangoFont* font = pango_font_map_load_font(map, context, wanted)) {
        PangoFontDescription* found = pango_font_describe(font);
        const char* name = pango_font_description_get_family(found);
        installed = name && g_ascii_strcasecmp(name, family.c_str()) == 0;
        pango_font_description_free(found);
        g_object_unref(font);
    }
    pango_font_description_free(wanted);
    g_object_unref(context);
    known[family] = installed;
    return installed;
}

}  // namespace

HFONT__::HFONT__(std::wstring familyName, int pixelSize, bool isBold)
    : family(std::move(familyName)), size(pixelSize > 0 ? pixelSize : 12), bold(isBold) {}

HFONT__::~HFONT__() {
    if (m_desc) {
        pango_font_description_free(m_desc);
    }
}

const PangoFontDescription* HFONT__::description() {
    if (m_desc) {
        return m_desc;
    }
    PangoFontDescription* desc = pango_font_description_new();
    // A family the machine lacks falls back to the CJK face the project installs, not to
    // whatever fontconfig's default is (which may lack Chinese glyphs, and costs loading
    // a second face).
    std::string requested = kestrova::ui::toUtf8(family);
    bool useRequested = !requested.empty() && familyInstalled(requested);
    pango_font_description_set_family(
        desc, useRequested ? requested.c_str() : kestrova::ui::kFallbackFamily);
    pango_font_description_set_absolute_size(desc, static_cast<double>(size) * PANGO_SCALE);
    pango_font_description_set_weight(desc, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    m_desc = desc;
    return m_desc;
}

HDC__::HDC__(cairo_t* target) : cr(cairo_reference(target)) {}

HDC__::~HDC__() {
    if (m_pango) {
        g_object_unref(m_pango);
    }
    cairo_destroy(cr);
}

PangoContext* HDC__::pango() {
    if (m_pango) {
        return m_pango;
    }
    PangoContext* pango = pango_cairo_create_context(cr);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(pango, options);
    cairo_font_options_destroy(options);
    // Layout in device-independent pixels: 96 dpi makes a point size irrelevant and an
    // absolute size exact.
    pango_cairo_context_set_resolution(pango, 96.0);
    m_pango = pango;
    return m_pango;
}

HFONT SelectObject(HDC dc, HFONT font) {
    if (!dc) {
        return nullptr;
    }
    HFONT previous = dc->font;
    dc->font = font;
    return previous;
}

int DrawTextW(HDC dc, LPCWSTR text, int length, RECT* rc, UINT format) {
    if (!dc || !rc || !text) {
        return 0;
    }
    std::wstring_view view =
        length < 0 ? std::wstring_view(text) : std::wstring_view(text, static_cast<size_t>(length));
    int width = rc->right - rc->left;
    auto layout = kestrova::ui::makeTextLayout(dc, dc->font, view, width > 0 ? width : -1, format);
    SIZE size = kestrova::ui::layoutPixelSize(layout.get());
    if (format & DT_CALCRECT) {
        rc->right = rc->left + size.cx;
        rc->bottom = rc->top + size.cy;
        return size.cy;
    }
    cairo_save(dc->cr);
    cairo_move_to(dc->cr, rc->left, rc->top);
    pango_cairo_update_context(dc->cr, dc->pango());
    pango_layout_context_changed(layout.get());
    pango_cairo_show_layout(dc->cr, layout.get());
    cairo_restore(dc->cr);
    return size.cy;
}

namespace kestrova::ui {
namespace {

LayoutObserver& layoutObserver() {
    static LayoutObserver observer;
    return observer;
}

}  // namespace

void setLayoutObserver(LayoutObserver observer) {
    layoutObserver() = std::move(observer);
}

void GObjectDeleter::operator()(void* object) const {
    if (object) {
        g_object_unref(object);
    }
}

LayoutPtr makeTextLayout(HDC dc, HFONT font, std::wstring_view text, int width, UINT format) {
    if (layoutObserver()) {
        layoutObserver()(text.size());
    }
    LayoutPtr layout(pango_layout_new(dc->pango()));
    std::string utf8 = toUtf8(text);
    if (format & DT_SINGLELINE) {
        // One line whatever the text holds: its line breaks are spaces, as on the one line
        // a title row has.
        for (char& c : utf8) {
            if (c == '\n' || c == '\r' || c == '\v' || c == '\f')
                c = ' ';
        }
        pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
    }
    pango_layout_set_text(layout.get(), utf8.c_str(), static_cast<int>(utf8.size()));
    if (font) {
        pango_layout_set_font_description(layout.get(), font->description());
    } else {
        HFONT__ fallback(L"", 12, false);
        pango_layout_set_font_description(layout.get(), fallback.description());
    }
    if (width >= 0) {
        pango_layout_set_width(layout.get(), width * PANGO_SCALE);
    }
    if (format & DT_SINGLELINE) {
        pango_layout_set_height(layout.get(), -1);
        if (format & DT_END_ELLIPSIS) {
            pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
        }
    }
    if ((format & DT_WORDBREAK) && !(format & DT_SINGLELINE)) {
        pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
    } else if (width >= 0 && !(format & DT_END_ELLIPSIS)) {
        // Without word break a text stays on one line; a narrow box clips it.
        pango_layout_set_width(layout.get(), -1);
    }
    if (format & DT_CENTER) {
        pango_layout_set_alignment(layout.get(), PANGO_ALIGN_CENTER);
    } else if (format & DT_RIGHT) {
        pango_layout_set_alignment(layout.get(), PANGO_ALIGN_RIGHT);
    }
    return layout;
}

SIZE layoutPixelSize(PangoLayout* layout) {
    PangoRectangle logical{};
    pango_layout_get_extents(layout, nullptr, &logical);
    auto px = [](int units) { return static_cast<LONG>(std::ceil(double(units) / PANGO_SCALE)); };
    return SIZE{px(logical.x + logical.width), px(logical.y + logical.height)};
}

int unknownGlyphCount(PangoLayout* layout) {
    return pango_layout_get_unknown_glyphs_count(layout);
}

}  // namespace kestrova::ui
