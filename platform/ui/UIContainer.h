// Controls that hold controls. A container owns its children and lays each one over its
// whole rectangle (a floating child at its own offset); the vertical, horizontal and tab
// layouts refine that in UILayout.h.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/UIControl.h"

class CContainerUI : public CControlUI {
public:
    CContainerUI() = default;
    ~CContainerUI() override;

    LPCTSTR GetClass() const override { return L"ContainerUI"; }

    // Takes ownership of control (which must not be null). Virtual: a layout may decide
    // how a new child shows (a tab layout shows only its selected page).
    virtual bool Add(CControlUI* control);
    int GetCount() const { return static_cast<int>(m_items.size()); }
    CControlUI* GetItemAt(int index) const;

    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
    void SetPos(RECT rc) override;
    kestrova::ui::AttrResult SetAttribute(LPCTSTR name, LPCTSTR value) override;
    CControlUI* FindControlAt(POINT pt) override;
    CControlUI* FindControlByName(LPCTSTR name) override;
    void DoPaint(kestrova::ui::Painter& painter, const RECT& dirty) override;

protected:
    // The rectangle children are laid out in: the item rectangle less the inset.
    RECT ContentRect() const;
    // Places a floating child at its offset from the content's top-left corner.
    static void PlaceFloat(CControlUI* child, const RECT& content);

    std::vector<std::unique_ptr<CControlUI>> m_items;
    RECT m_rcInset{};
};
