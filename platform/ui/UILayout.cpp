// Box layout along one axis, shared by the vertical and horizontal layouts, and the tab
// layout's page switching.
#include "platform/ui/UILayout.h"

#include <algorithm>

#include "platform/ui/UIManager.h"

namespace kestrova::ui {

std::vector<int> distributeAxis(const std::vector<AxisHint>& hints, int available) {
    std::vector<int> sizes(hints.size(), 0);
    std::vector<size_t> flexible;
    int remaining = available;
    // Pass 1: fixed sizes are taken as given (within their limits).
    for (size_t i = 0; i < hints.size(); ++i) {
        if (hints[i].fixed > 0) {
            sizes[i] =
                std::clamp(hints[i].fixed, hints[i].min, std::max(hints[i].min, hints[i].max));
            remaining -= sizes[i];
        } else {
            flexible.push_back(i);
        }
    }
    // Pass 2: share the rest equally. A child whose limits refuse the equal share is
    // settled at its limit and the share is computed again without it.
    while (!flexible.empty()) {
        int count = static_cast<int>(flexible.size());
        int share = std::max(remaining, 0) / count;
        auto limited = std::find_if(flexible.begin(), flexible.end(), [&](size_t i) {
            return share < hints[i].min || share > hints[i].max;
        });
        if (limited == flexible.end()) {
            // Pass 3: everyone takes the share; the last one also takes the remainder.
            for (size_t i : flexible) {
                sizes[i] = share;
            }
            sizes[flexible.back()] += std::max(remaining, 0) - share * count;
            break;
        }
        size_t i = *limited;
        sizes[i] = std::clamp(share, hints[i].min, std::max(hints[i].min, hints[i].max));
        remaining -= sizes[i];
        flexible.erase(limited);
    }
    return sizes;
}

}  // namespace kestrova::ui

namespace {

using kestrova::ui::AxisHint;

template <bool Vertical>
void layOutBox(std::vector<std::unique_ptr<CControlUI>>& items, const RECT& content,
               void (*placeFloat)(CControlUI*, const RECT&)) {
    std::vector<CControlUI*> flow;
    std::vector<AxisHint> hints;
    for (auto& item : items) {
        if (!item->IsVisible())
            continue;
        if (item->IsFloat()) {
            placeFloat(item.get(), content);
            continue;
        }
        flow.push_back(item.get());
        hints.push_back(
            Vertical ? AxisHint{item->GetFixedHeight(), item->GetMinHeight(), item->GetMaxHeight()}
                     : AxisHint{item->GetFixedWidth(), item->GetMinWidth(), item->GetMaxWidth()});
    }
    int available = Vertical ? content.bottom - content.top : content.right - content.left;
    std::vector<int> sizes = kestrova::ui::distributeAxis(hints, available);
    LONG at = Vertical ? content.top : content.left;
    for (size_t i = 0; i < flow.size(); ++i) {
        CControlUI* child = flow[i];
        // Across the axis a child spans the content unless it has its own size.
        int across = Vertical ? content.right - content.left : content.bottom - content.top;
        int fixedAcross = Vertical ? child->GetFixedWidth() : child->GetFixedHeight();
        if (fixedAcross > 0)
            across = std::min(across, fixedAcross);
        if (Vertical) {
            child->SetPos(RECT{content.left, at, content.left + across, at + sizes[i]});
        } else {
            child->SetPos(RECT{at, content.top, at + sizes[i], content.top + across});
        }
        at += sizes[i];
    }
}

}  // namespace

void CVerticalLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    layOutBox<true>(m_items, ContentRect(), [](CControlUI* c, const RECT& r) { PlaceFloat(c, r); });
}

void CHorizontalLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    layOutBox<false>(m_items, ContentRect(),
                     [](CControlUI* c, const RECT& r) { PlaceFloat(c, r); });
}

bool CTabLayoutUI::Add(CControlUI* control) {
    if (!CContainerUI::Add(control)) {
        return false;
    }
    int index = GetCount() - 1;
    if (m_iCurSel < 0) {
        m_iCurSel = index;
    }
    control->SetVisible(index == m_iCurSel);
    return true;
}

bool CTabLayoutUI::SelectItem(int index, bool triggerEvent, bool invalidate) {
    if (index < 0 || index >= GetCount()) {
        return false;
    }
    m_iCurSel = index;
    for (int i = 0; i < GetCount(); ++i) {
        GetItemAt(i)->SetVisible(i == index);
    }
    SetPos(m_rcItem);
    if (m_pManager) {
        if (triggerEvent)
            m_pManager->SendNotify(this, DUI_MSGTYPE_TABSELECT, index);
        if (invalidate)
            Invalidate();
    }
    return true;
}

void CTabLayoutUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    RECT content = ContentRect();
    if (CControlUI* page = GetItemAt(m_iCurSel)) {
        page->SetPos(content);
    }
}

kestrova::ui::AttrResult CTabLayoutUI::SetAttribute(LPCTSTR name, LPCTSTR value) {
    if (std::wstring_view(name ? name : L"") == L"selectedid") {
        auto index = kestrova::ui::parseInt(value ? value : L"");
        if (!index || *index < 0)
            return kestrova::ui::AttrResult::Invalid;
        m_iCurSel = *index;
        return kestrova::ui::AttrResult::Applied;
    }
    return CContainerUI::SetAttribute(name, value);
}
