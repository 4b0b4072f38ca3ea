// The control base: attributes, background painting and hit testing.
#include "platform/ui/UIControl.h"

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
    const bool moved = rc.left != m_rcItem.left || rc.top != m_rcItem.top ||
                       rc.right != m_rcItem.right || rc.bottom != m_rcItem.bottom;
    if (moved) {
        // Where it was and where it goes both change on screen.
        Invalidate();
        m_rcItem = rc;
        Invalidate();
    }
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
    using C = CControlUI;
    // Every attribute a control of any class takes, with how its value is read and applied.
    static constexpr AttributeHandler<C> kAttributes[] = {
        {L"name",
         readAndSet<C, parseText, [](C& c, const std::wstring& t) { c.SetName(t.c_str()); }>},
        {L"text",
         readAndSet<C, parseText, [](C& c, const std::wstring& t) { c.SetText(t.c_str()); }>},
        {L"pos", readAndSet<C, parseRect, [](C& c, RECT rc) { c.m_rcFloat = rc; }>},
        {L"width", readAndSet<C, parseCount, [](C& c, int n) { c.SetFixedWidth(n); }>},
        {L"height", readAndSet<C, parseCount, [](C& c, int n) { c.SetFixedHeight(n); }>},
        {L"minwidth", readAndSet<C, parseCount, [](C& c, int n) { c.m_cxyMin.cx = n; }>},
        {L"maxwidth", readAndSet<C, parseCount, [](C& c, int n) { c.m_cxyMax.cx = n; }>},
        {L"minheight", readAndSet<C, parseCount, [](C& c, int n) { c.m_cxyMin.cy = n; }>},
        {L"maxheight", readAndSet<C, parseCount, [](C& c, int n) { c.m_cxyMax.cy = n; }>},
        {L"float", readAndSet<C, parseBool, [](C& c, bool on) { c.m_bFloat = on; }>},
        {L"mouse", readAndSet<C, parseBool, [](C& c, bool on) { c.m_bMouseEnabled = on; }>},
        {L"enabled", readAndSet<C, parseBool, [](C& c, bool on) { c.m_bEnabled = on; }>},
        {L"visible", readAndSet<C, parseBool, [](C& c, bool on) { c.SetVisible(on); }>},
        {L"bkcolor", readAndSet<C, parseColor, [](C& c, DWORD argb) { c.SetBkColor(argb); }>},
        {L"bkimage", readAndSet<C, parseImageAttribute,
                                [](C& c, const std::wstring& t) { c.SetBkImage(t.c_str()); }>},
    };
    return applyAttribute(kAttributes, *this, name, value);
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
    if (m_pManager) {
        m_pManager->ControlPainted(*this);
    }
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
