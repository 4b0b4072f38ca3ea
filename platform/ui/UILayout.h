// The layouts of the control tree: children stacked top to bottom or left to right, and
// a tab layout that shows one child at a time.
#pragma once

#include "platform/ui/UIContainer.h"

// Stacks children top to bottom. A child with a height keeps it; the others share what
// is left, within their min/max heights. Each child spans the width unless it has one.
class CVerticalLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override { return L"VerticalLayoutUI"; }
    void SetPos(RECT rc) override;
};

// The same left to right.
class CHorizontalLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override { return L"HorizontalLayoutUI"; }
    void SetPos(RECT rc) override;
};

// Shows only the selected child, laid over the whole content; the others are hidden,
// neither laid out nor drawn nor hit.
class CTabLayoutUI : public CContainerUI {
public:
    LPCTSTR GetClass() const override { return L"TabLayoutUI"; }

    bool Add(CControlUI* control) override;
    int GetCurSel() const { return m_iCurSel; }
    // Shows page index. triggerEvent sends a "tabselect" notification; invalidate asks
    // for a repaint. False for an index out of range.
    bool SelectItem(int index, bool triggerEvent = true, bool invalidate = true);

    void SetPos(RECT rc) override;
    kestrova::ui::AttrResult SetAttribute(LPCTSTR name, LPCTSTR value) override;

private:
    int m_iCurSel = -1;
};

namespace kestrova::ui {

// One child's sizing along the layout's axis. fixed 0 means "share what is left".
struct AxisHint {
    int fixed = 0;
    int min = 0;
    int max = 9999;
};

// Sizes along one axis for the children, filling available where hints allow.
std::vector<int> distributeAxis(const std::vector<AxisHint>& hints, int available);

}  // namespace kestrova::ui
