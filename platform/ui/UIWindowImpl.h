// WindowImplBase: a window whose content is a layout from a skin. At creation it asks
// the concrete window where its skin is (the queries below), builds the layout, sizes
// the window as the layout says and calls InitWindow. Messages go first to the
// pre-message filters (this object among them), then to the per-message handlers, then
// to HandleCustomMessage, then to the paint manager; "click" notifications go through
// the message map.
#pragma once

#include "platform/ui/UIManager.h"
#include "platform/ui/UINotify.h"
#include "platform/ui/UIWindow.h"

// Where a window's skin lives. A zip resource is an archive embedded in the program
// and found by its resource id.
enum UILIB_RESOURCETYPE {
    UILIB_FILE = 1,
    UILIB_ZIP = 2,
    UILIB_RESOURCE = 3,
    UILIB_ZIPRESOURCE = 4,
};

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
public:
    WindowImplBase() = default;
    ~WindowImplBase() override;

    virtual void InitWindow() {}
    void OnFinalMessage(HWND hWnd) override;
    void Notify(TNotifyUI& msg) override;
    virtual void OnClick(TNotifyUI& msg);

    // The layout's paint manager (controls, fonts, measuring context).
    CPaintManagerUI& GetPaintManager() { return m_pm; }

    DUI_DECLARE_MESSAGE_MAP()

protected:
    virtual CDuiString GetSkinFolder() = 0;
    virtual CDuiString GetSkinFile() = 0;
    LPCTSTR GetWindowClassName() const override = 0;
    // Escape closes the window; Enter does nothing. True when the key was used.
    virtual LRESULT ResponseDefaultKeyEvent(WPARAM wParam);

    CPaintManagerUI m_pm;

public:
    UINT GetClassStyle() const override;
    virtual UILIB_RESOURCETYPE GetResourceType() const;
    virtual CDuiString GetZIPFileName() const;
    // The resource id of an embedded skin archive (UILIB_ZIPRESOURCE).
    virtual UINT GetResourceID() const;
    CControlUI* CreateControl(LPCTSTR pstrClass) override;
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

    virtual LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcCalcSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnNcPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    // HTCAPTION inside the layout's caption rectangle except over a control that takes
    // clicks; the host drags the window for HTCAPTION. lParam is in screen coordinates.
    virtual LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnMouseWheel(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnMouseHover(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSize(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnChar(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    // Builds the layout; -1 (the window is not created) when the skin or layout is bad.
    virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnKillFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnSetFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnLButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT OnMouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    virtual LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LONG GetStyle();

private:
    std::unique_ptr<kestrova::ui::SkinSource> OpenSkin(std::string& error);
};
