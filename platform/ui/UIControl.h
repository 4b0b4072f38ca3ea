// The base of the control tree. A control has a name, a text, a rectangle in window
// pixels (set by its parent's layout), sizing hints the layouts read, a background, and
// the attributes the markup sets by name. Controls never touch the native window: they
// draw through a Painter and talk to their CPaintManagerUI.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/UIAttributes.h"
#include "platform/ui/UIDefs.h"
#include "platform/ui/UIString.h"

class CPaintManagerUI;
namespace kestrova::ui {
class Painter;

// Outcome of setting an attribute by name, so the markup builder can say which
// attribute of which element was wrong.
enum class AttrResult { Applied, Unknown, Invalid };

// One row of a control class's attribute table: the name and how a value applies.
template <class Control>
struct AttributeHandler {
    std::wstring_view name;
    AttrResult (*apply)(Control& control, std::wstring_view value);
};

// A handler whose value read gives (nothing for a malformed one: Invalid) and set applies.
template <class Control, auto read, auto set>
AttrResult readAndSet(Control& control, std::wstring_view value) {
    auto parsed = read(value);
    if (!parsed)
        return AttrResult::Invalid;
    set(control, *parsed);
    return AttrResult::Applied;
}

// Runs the table's handler for name; Unknown when the table has none. An attribute that
// applies may change how the control looks: it is drawn again at the next paint.
template <class Control, std::size_t N>
AttrResult applyAttribute(const AttributeHandler<Control> (&table)[N], Control& control,
                          LPCTSTR name, LPCTSTR value) {
    const std::wstring_view wanted = name ? name : L"";
    for (const AttributeHandler<Control>& row : table) {
        if (row.name == wanted) {
            const AttrResult result = row.apply(control, value ? value : L"");
            if (result == AttrResult::Applied)
                control.Invalidate();
            return result;
        }
    }
    return AttrResult::Unknown;
}
}  // namespace kestrova::ui

// Input as the paint manager hands it to the control under the pointer (or to the one
// that holds the mouse capture).
enum UIEventType {
    UIEVENT_MOUSEMOVE = 1,
    UIEVENT_MOUSEENTER,
    UIEVENT_MOUSELEAVE,
    UIEVENT_BUTTONDOWN,
    UIEVENT_BUTTONUP,
};

struct TEventUI {
    int Type = 0;
    class CControlUI* pSender = nullptr;
    POINT ptMouse{};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

inline bool PtInRect(const RECT& rc, POINT pt) {
    return pt.x >= rc.left && pt.x < rc.right && pt.y >= rc.top && pt.y < rc.bottom;
}

class CControlUI {
public:
    CControlUI() = default;
    virtual ~CControlUI() = default;
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    virtual LPCTSTR GetClass() const { return L"ControlUI"; }
    // True for controls that take clicks, which a caption drag must leave alone.
    virtual bool IsInteractive() const { return false; }

    const CDuiString& GetName() const { return m_sName; }
    void SetName(LPCTSTR name) { m_sName = name; }
    const CDuiString& GetText() const { return m_sText; }
    virtual void SetText(LPCTSTR text);

    CPaintManagerUI* GetManager() const { return m_pManager; }
    CControlUI* GetParent() const { return m_pParent; }
    virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent);

    // Layout: the rectangle in window pixels, and the hints layouts read.
    const RECT& GetPos() const { return m_rcItem; }
    virtual void SetPos(RECT rc);
    int GetFixedWidth() const { return m_cxyFixed.cx; }
    int GetFixedHeight() const { return m_cxyFixed.cy; }
    void SetFixedWidth(int cx);
    void SetFixedHeight(int cy);
    int GetMinWidth() const { return m_cxyMin.cx; }
    int GetMaxWidth() const { return m_cxyMax.cx; }
    int GetMinHeight() const { return m_cxyMin.cy; }
    int GetMaxHeight() const { return m_cxyMax.cy; }
    bool IsFloat() const { return m_bFloat; }
    // For a floating control: offset from the parent's top-left corner.
    POINT GetFloatOffset() const { return {m_rcFloat.left, m_rcFloat.top}; }
    // The floating control's size: width/height if given, else taken from pos.
    SIZE GetFloatSize() const;

    bool IsVisible() const { return m_bVisible; }
    virtual void SetVisible(bool visible);
    bool IsMouseEnabled() const { return m_bMouseEnabled; }
    bool IsEnabled() const { return m_bEnabled; }

    void SetBkColor(DWORD argb);
    const CDuiString& GetBkImage() const { return m_sBkImage; }
    void SetBkImage(LPCTSTR image);

    // Sets a markup attribute. The window code may ignore the result; the markup builder
    // reports anything but Applied.
    virtual kestrova::ui::AttrResult SetAttribute(LPCTSTR name, LPCTSTR value);
    // Every "...image" attribute value this control holds, for the builder to check that
    // each named picture exists.
    virtual void CollectImages(std::vector<CDuiString>& out) const;

    // The deepest visible control under pt that takes the mouse, or null.
    virtual CControlUI* FindControlAt(POINT pt);
    // This control or a descendant named name, or null.
    virtual CControlUI* FindControlByName(LPCTSTR name);

    // Draws the control's part inside dirty (window pixels); a container draws only the
    // children that overlap it. The paint manager's observer hears of each control drawn.
    virtual void DoPaint(kestrova::ui::Painter& painter, const RECT& dirty);
    virtual void DoEvent(TEventUI& event);

    // Has the control drawn again at the next paint.
    void Invalidate();

protected:
    virtual void PaintBkColor(kestrova::ui::Painter& painter);
    virtual void PaintBkImage(kestrova::ui::Painter& painter);
    virtual void PaintStatusImage(kestrova::ui::Painter&) {}
    virtual void PaintText(kestrova::ui::Painter&) {}
    // Draws an image attribute value over rc; false when it cannot be drawn.
    bool DrawImage(kestrova::ui::Painter& painter, const CDuiString& image, const RECT& rc);

    CPaintManagerUI* m_pManager = nullptr;
    CControlUI* m_pParent = nullptr;
    CDuiString m_sName;
    CDuiString m_sText;
    CDuiString m_sBkImage;
    DWORD m_dwBkColor = 0;
    RECT m_rcItem{};
    RECT m_rcFloat{};
    SIZE m_cxyFixed{};
    SIZE m_cxyMin{};
    SIZE m_cxyMax{9999, 9999};
    bool m_bFloat = false;
    bool m_bVisible = true;
    bool m_bEnabled = true;
    bool m_bMouseEnabled = true;
};
