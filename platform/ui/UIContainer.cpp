// Container basics: ownership of children, hit testing in paint order, clipping.
#include "platform/ui/UIContainer.h"

#include "platform/ui/UIManager.h"
#include "platform/ui/UIPainter.h"
#include "platform/ui/UITrace.h"

using kestrova::ui::AttrResult;

CContainerUI::~CContainerUI() = default;

bool CContainerUI::Add(CControlUI* control) {
    KESTROVA_UI_ASSERT(control != nullptr,
                       "Add(nullptr): pass the control to add (made with new; the container "
                       "owns it from then on)");
    m_items.emplace_back(control);
    control->SetManager(m_pManager, this);
    if (m_pManager) {
        m_pManager->NeedUpdate();
    }
    return true;
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    if (index < 0 || index >= GetCount()) {
        return nullptr;
    }
    return m_items[static_cast<size_t>(index)].get();
}

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent) {
    CControlUI::SetManager(manager, parent);
    for (auto& item : m_items) {
        item->SetManager(manager, this);
    }
}

RECT CContainerUI::ContentRect() const {
    return RECT{m_rcItem.left + m_rcInset.left, m_rcItem.top + m_rcInset.top,
                m_rcItem.right - m_rcInset.right, m_rcItem.bottom - m_rcInset.bottom};
}

void CContainerUI::PlaceFloat(CControlUI* child, const RECT& content) {
    POINT offset = child->GetFloatOffset();
    SIZE size = child->GetFloatSize();
    LONG left = content.left + offset.x;
    LONG top = content.top + offset.y;
    child->SetPos(RECT{left, top, left + size.cx, top + size.cy});
}

void CContainerUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    RECT content = ContentRect();
    for (auto& item : m_items) {
        if (!item->IsVisible()) {
            continue;
        }
        if (item->IsFloat()) {
            PlaceFloat(item.get(), content);
        } else {
            item->SetPos(content);
        }
    }
}

AttrResult CContainerUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (std::wstring_view(name ? name : L"") == L"inset") {
        auto rc = kestrova::ui::parseRect(value ? value : L"");
        if (!rc)
            return AttrResult::Invalid;
        m_rcInset = *rc;
        return AttrResult::Applied;
    }
    return CControlUI::SetAttribute(name, value);
}

CControlUI* CContainerUI::FindControlAt(POINT pt) {
    if (!m_bVisible || !PtInRect(m_rcItem, pt)) {
        return nullptr;
    }
    // Later children paint over earlier ones, so they are hit first.
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        if (CControlUI* hit = (*it)->FindControlAt(pt)) {
            return hit;
        }
    }
    return m_bMouseEnabled ? this : nullptr;
}

CControlUI* CContainerUI::FindControlByName(LPCTSTR name) {
    if (CControlUI* self = CControlUI::FindControlByName(name)) {
        return self;
    }
    for (auto& item : m_items) {
        if (CControlUI* found = item->FindControlByName(name)) {
            return found;
        }
    }
    return nullptr;
}

void CContainerUI::DoPaint(kestrova::ui::Painter& painter, const RECT& dirty) {
    kestrova::ui::Painter::ClipScope clip(painter, m_rcItem);
    CControlUI::DoPaint(painter, dirty);
    for (auto& item : m_items) {
        const RECT& rc = item->GetPos();
        bool overlaps = rc.left < dirty.right && dirty.left < rc.right && rc.top < dirty.bottom &&
                        dirty.top < rc.bottom;
        if (item->IsVisible() && overlaps) {
            item->DoPaint(painter, dirty);
        }
    }
}
