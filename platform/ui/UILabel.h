// Text controls: a label draws its text in its font and colours inside its padding,
// aligned and wrapped at its width; a button adds the normal, hot and pushed pictures
// and sends "click".
#pragma once

#include "platform/ui/UIControl.h"
#include "platform/ui/UITextLayout.h"

class CLabelUI : public CControlUI {
public:
    LPCTSTR GetClass() const override { return L"LabelUI"; }

    // The font index the label draws with; -1 means the layout's default font.
    int GetFont() const { return m_iFont; }
    void SetFont(int index);
    void SetTextColor(DWORD argb);
    // DT_ alignment bits the text is drawn with.
    UINT GetTextStyle() const { return m_uTextStyle; }
    void SetTextStyle(UINT style);
    void SetText(LPCTSTR text) override;
    void SetManager(CPaintManagerUI* manager, CControlUI* parent) override;
    // The rectangle the text is laid out in: the item rectangle less the padding.
    RECT GetTextRect() const;

    kestrova::ui::AttrResult SetAttribute(LPCTSTR name, LPCTSTR value) override;

protected:
    void PaintText(kestrova::ui::Painter& painter) override;

    int m_iFont = -1;
    DWORD m_dwTextColor = 0xFF000000;
    DWORD m_dwDisabledTextColor = 0xFFA7A6AA;
    RECT m_rcTextPadding{};
    UINT m_uTextStyle = DT_LEFT | DT_VCENTER | DT_WORDBREAK;
    // The text laid out for its box, kept until the text or the box changes.
    kestrova::ui::TextLayoutCache m_layout;
};

class CButtonUI : public CLabelUI {
public:
    CButtonUI() { m_uTextStyle = DT_CENTER | DT_VCENTER | DT_SINGLELINE; }
    LPCTSTR GetClass() const override { return L"ButtonUI"; }
    bool IsInteractive() const override { return true; }

    bool IsHot() const { return m_bHot; }
    bool IsPushed() const { return m_bPushed; }
    // Sends the "click" notification, as a release inside the pressed button does.
    virtual bool Activate();

    kestrova::ui::AttrResult SetAttribute(LPCTSTR name, LPCTSTR value) override;
    void CollectImages(std::vector<CDuiString>& out) const override;
    void DoEvent(TEventUI& event) override;

protected:
    void PaintStatusImage(kestrova::ui::Painter& painter) override;

    CDuiString m_sNormalImage;
    CDuiString m_sHotImage;
    CDuiString m_sPushedImage;
    CDuiString m_sDisabledImage;
    bool m_bHot = false;
    bool m_bPushed = false;
    bool m_bCaptured = false;
};
