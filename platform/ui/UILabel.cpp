// Label text painting and the button's press, hover and click behaviour.
#include "platform/ui/UILabel.h"

#include <initializer_list>
#include <utility>

#include "platform/ui/UIManager.h"
#include "platform/ui/UIPainter.h"

using kestrova::ui::AttrResult;

void CLabelUI::SetFont(int index) {
    m_iFont = index;
    Invalidate();
}

void CLabelUI::SetTextColor(DWORD argb) {
    m_dwTextColor = argb;
    Invalidate();
}

RECT CLabelUI::GetTextRect() const {
    return RECT{m_rcItem.left + m_rcTextPadding.left, m_rcItem.top + m_rcTextPadding.top,
                m_rcItem.right - m_rcTextPadding.right, m_rcItem.bottom - m_rcTextPadding.bottom};
}

namespace {

// Readers of the label's own value syntaxes.
std::optional<int> parseFontIndex(std::wstring_view v) {
    auto index = kestrova::ui::parseInt(v);
    return index && *index >= -1 ? index : std::nullopt;
}
// The DT_ bits a keyword of words stands for.
std::optional<UINT> parseKeyword(std::wstring_view v,
                                 std::initializer_list<std::pair<std::wstring_view, UINT>> words) {
    for (const auto& [word, bits] : words) {
        if (v == word)
            return bits;
    }
    return std::nullopt;
}
std::optional<UINT> parseAlign(std::wstring_view v) {
    return parseKeyword(v, {{L"left", DT_LEFT}, {L"center", DT_CENTER}, {L"right", DT_RIGHT}});
}
std::optional<UINT> parseVAlign(std::wstring_view v) {
    return parseKeyword(v, {{L"top", DT_TOP}, {L"center", DT_VCENTER}, {L"bottom", DT_BOTTOM}});
}

}  // namespace

AttrResult CLabelUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    using namespace kestrova::ui;
    using L = CLabelUI;
    // What a label adds to the attributes of every control.
    static constexpr AttributeHandler<L> kAttributes[] = {
        {L"font", readAndSet<L, parseFontIndex, [](L& l, int index) { l.SetFont(index); }>},
        {L"textcolor", readAndSet<L, parseColor, [](L& l, DWORD argb) { l.SetTextColor(argb); }>},
        {L"disabledtextcolor", readAndSet<L, parseColor,
                                          [](L& l, DWORD argb) {
                                              l.m_dwDisabledTextColor = argb;
                                              l.Invalidate();
                                          }>},
        {L"textpadding", readAndSet<L, parseRect, [](L& l, RECT rc) { l.m_rcTextPadding = rc; }>},
        {L"align", readAndSet<L, parseAlign,
                              [](L& l, UINT bits) {
                                  l.m_uTextStyle =
                                      (l.m_uTextStyle & ~(DT_CENTER | DT_RIGHT)) | bits;
                              }>},
        {L"valign", readAndSet<L, parseVAlign,
                               [](L& l, UINT bits) {
                                   l.m_uTextStyle =
                                       (l.m_uTextStyle & ~(DT_VCENTER | DT_BOTTOM)) | bits;
                               }>},
    };
    AttrResult result = applyAttribute(kAttributes, *this, name, value);
    return result == AttrResult::Unknown ? CControlUI::SetAttribute(name, value) : result;
}

void CLabelUI::SetText(LPCTSTR text) {
    m_layout.reset();
    CControlUI::SetText(text);
}

void CLabelUI::SetTextStyle(UINT style) {
    m_uTextStyle = style;
    Invalidate();
}

void CLabelUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    m_layout.reset();
    CControlUI::SetManager(manager, parent);
}

void CLabelUI::PaintText(kestrova::ui::Painter& painter) {
    if (m_sText.IsEmpty() || !m_pManager) {
        return;
    }
    const RECT rc = GetTextRect();
    PangoLayout* layout =
        m_layout.layout(m_pManager->GetPaintDC(), m_pManager->GetFont(m_iFont), m_sText.str(),
                        SIZE{rc.right - rc.left, rc.bottom - rc.top}, m_uTextStyle);
    painter.drawLayout(rc, layout, m_bEnabled ? m_dwTextColor : m_dwDisabledTextColor,
                       m_uTextStyle);
}

bool CButtonUI::Activate() {
    if (!m_bEnabled || !m_pManager) {
        return false;
    }
    m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
    return true;
}

AttrResult CButtonUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    std::wstring_view n = name ? name : L"";
    CDuiString* target = n == L"normalimage"     ? &m_sNormalImage
                         : n == L"hotimage"      ? &m_sHotImage
                         : n == L"pushedimage"   ? &m_sPushedImage
                         : n == L"disabledimage" ? &m_sDisabledImage
                                                 : nullptr;
    if (!target) {
        return CLabelUI::SetAttribute(name, value);
    }
    if (value && *value && !kestrova::ui::parseImageSpec(value).spec) {
        return AttrResult::Invalid;
    }
    *target = value;
    Invalidate();
    return AttrResult::Applied;
}

void CButtonUI::CollectImages(std::vector<CDuiString>& out) const {
    CLabelUI::CollectImages(out);
    for (const CDuiString* image :
         {&m_sNormalImage, &m_sHotImage, &m_sPushedImage, &m_sDisabledImage}) {
        if (!image->IsEmpty())
            out.push_back(*image);
    }
}

void CButtonUI::DoEvent(TEventUI& event) {
    const bool inside = PtInRect(m_rcItem, event.ptMouse);
    const bool wasHot = m_bHot, wasPushed = m_bPushed;
    bool click = false;
    switch (event.Type) {
        case UIEVENT_MOUSEENTER:
            m_bHot = true;
            break;
        case UIEVENT_MOUSELEAVE:
            m_bHot = false;
            break;
        case UIEVENT_BUTTONDOWN:
            m_bCaptured = inside;
            m_bPushed = inside;
            break;
        case UIEVENT_MOUSEMOVE:
            // While the button holds the capture it looks pushed only with the pointer on it.
            m_bPushed = m_bCaptured && inside;
            m_bHot = inside;
            break;
        case UIEVENT_BUTTONUP:
            click = m_bCaptured && inside;
            m_bCaptured = false;
            m_bPushed = false;
            m_bHot = inside;
            break;
        default:
            return;
    }
    // Drawn again only when its look changes, not for every move of the pointer over it.
    if (m_bHot != wasHot || m_bPushed != wasPushed) {
        Invalidate();
    }
    if (click) {
        Activate();  // may close the window: nothing of this object is used after it
    }
}

void CButtonUI::PaintStatusImage(kestrova::ui::Painter& painter) {
    // A state without its own picture falls back to the normal one.
    const CDuiString* image = &m_sNormalImage;
    if (!m_bEnabled && !m_sDisabledImage.IsEmpty()) {
        image = &m_sDisabledImage;
    } else if (m_bPushed && !m_sPushedImage.IsEmpty()) {
        image = &m_sPushedImage;
    } else if (m_bHot && !m_sHotImage.IsEmpty()) {
        image = &m_sHotImage;
    }
    if (!image->IsEmpty()) {
        DrawImage(painter, *image, m_rcItem);
    }
}
