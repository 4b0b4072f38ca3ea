// The control base: attributes, background painting and hit testing.
#include "platform/ui/UIControl.h"

#include <cstdio>

#include "platform/ui/UIManager.h"
#include "platform/ui/UIPainter.h"

using kestrova::ui::AttrResult;

void CControlUI::SetText(LPCTSTR text) {
    m_sText = text;
    Invalidate();
}

void CControlUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    m_pManager = manager;
    m_pParent = parent;
}

void CControlUI::SetPos(RECT rc) {
    if (rc.right < rc.left)
        rc.right = rc.left;
    if (rc.bottom < rc.top)
        rc.bottom = rc.top;
    m_rcItem = rc;
}

void CControlUI::SetFixedWidth(int cx) {
    m_cxyFixed.cx = cx < 0 ? 0 : cx;
}

void CControlUI::SetFixedHeight(int cy) {
    m_cxyFixed.cy = cy < 0 ? 0 : cy;
}

SIZE CControlUI::GetFloatSize() const {
    SIZE size{m_cxyFixed.cx, m_cxyFixed.cy};
    if (size.cx == 0 && m_rcFloat.right > m_rcFloat.left)
        size.cx = m_rcFloat.right - m_rcFloat.left;
    if (size.cy == 0 && m_rcFloat.bottom > m_rcFloat.top)
        size.cy = m_rcFloat.bottom - m_rcFloat.top;
    return size;
}

void CControlUI::SetVisible(bool visible) {
    if (m_bVisible == visible) {
        return;
    }
    m_bVisible = visible;
    if (m_pManager) {
        m_pManager->NeedUpdate();
    }
}

void CControlUI::SetBkColor(DWORD argb) {
    m_dwBkColor = argb;
    Invalidate();
}

void CControlUI::SetBkImage(LPCTSTR image) {
    m_sBkImage = image;
    Invalidate();
}

void CControlUI::Invalidate() {
    if (m_pManager) {
        m_pManager->Invalidate(m_rcItem);
    }
}

AttrResult CControlUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    using namespace kestrova::ui;
    std::wstring_view n = name ? name : L"";
    std::wstring_view v = value ? value : L"";
    auto setInt = [&](auto apply) {
        auto parsed = parseInt(v);
        if (!parsed || *parsed < 0)
            return AttrResult::Invalid;
        apply(*parsed);
        return AttrResult::Applied;
    };
    auto setBool = [&](bool& target) {
        auto parsed = parseBool(v);
        if (!parsed)
            return AttrResult::Invalid;
        target = *parsed;
        return AttrResult::Applied;
    };
    if (n == L"name") {
        SetName(value);
        return AttrResult::Applied;
    }
    if (n == L"text") {
        SetText(value);
        return AttrResult::Applied;
    }
    if (n == L"pos") {
        auto rc = parseRect(v);
        if (!rc)
            return AttrResult::Invalid;
        m_rcFloat = *rc;
        return AttrResult::Applied;
    }
    if (n == L"width")
        return setInt([this](int x) { SetFixedWidth(x); });
    if (n == L"height")
        return setInt([this](int x) { SetFixedHeight(x); });
    if (n == L"minwidth")
        return setInt([this](int x) { m_cxyMin.cx = x; });
    if (n == L"maxwidth")
        return setInt([this](int x) { m_cxyMax.cx = x; });
    if (n == L"minheight")
        return setInt([this](int x) { m_cxyMin.cy = x; });
    if (n == L"maxheight")
        return setInt([this](int x) { m_cxyMax.cy = x; });
    if (n == L"float")
        return setBool(m_bFloat);
    if (n == L"mouse")
        return setBool(m_bMouseEnabled);
    if (n == L"enabled")
        return setBool(m_bEnabled);
    if (n == L"visible") {
        auto parsed = parseBool(v);
        if (!parsed)
            return AttrResult::Invalid;
        SetVisible(*parsed);
        return AttrResult::Applied;
    }
    if (n == L"bkcolor") {
        auto colour = parseColor(v);
        if (!colour)
            return AttrResult::Invalid;
        SetBkColor(*colour);
        return AttrResult::Applied;
    }
    if (n == L"bkimage") {
        if (!v.empty() && !parseImageSpec(v).spec)
            return AttrResult::Invalid;
        SetBkImage(value);
        return AttrResult::Applied;
    }
    return AttrResult::Unknown;
}

void CControlUI::CollectImages(std::vector<CDuiString>& out) const {
    if (!m_sBkImage.IsEmpty()) {
        out.push_back(m_sBkImage);
    }
}

CControlUI* CControlUI::FindControlAt(POINT pt) {
    if (!m_bVisible || !m_bMouseEnabled || !PtInRect(m_rcItem, pt)) {
        return nullptr;
    }
    return this;
}

CControlUI* CControlUI::FindControlByName(LPCTSTR name) {
    return m_sName.Compare(name) == 0 ? this : nullptr;
}

void CControlUI::DoPaint(kestrova::ui::Painter& painter, const RECT& /*dirty*/) {
    kestrova::ui::Painter::ClipScope clip(painter, m_rcItem);
    PaintBkColor(painter);
    PaintBkImage(painter);
    PaintStatusImage(painter);
    PaintText(painter);
}

void CControlUI::PaintBkColor(kestrova::ui::Painter& painter) {
    if (m_dwBkColor != 0) {
        painter.fillRect(m_rcItem, m_dwBkColor);
    }
}

void CControlUI::PaintBkImage(kestrova::ui::Painter& painter) {
    if (!m_sBkImage.IsEmpty()) {
        DrawImage(painter, m_sBkImage, m_rcItem);
    }
}

bool CControlUI::DrawImage(kestrova::ui::Painter& painter, const CDuiString& image,
                           const RECT& rc) {
    auto parsed = kestrova::ui::parseImageSpec(image.str());
    if (!parsed.spec || !m_pManager) {
        return false;
    }
    const TImageInfo* info = m_pManager->GetImageEx(parsed.spec->file.c_str());
    if (!info) {
        return false;
    }
    painter.drawImage(*info, rc, *parsed.spec);
    return true;
}

void CControlUI::DoEvent(TEventUI& /*event*/) {}
