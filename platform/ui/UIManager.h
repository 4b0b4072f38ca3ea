// CPaintManagerUI: everything a window's control tree shares. It holds the root
// control, the skin the tree's pictures and fonts come from, the window settings of the
// layout, and it turns window messages into control events (hover, capture, click) and
// notifications. It never touches a native window. It keeps the window's last rendered
// frame: a paint renders into it only what was invalidated since the last one (a text
// set, a hover, a press, a new size), and hands it to the host, or copies it into
// whatever drawing context a test or a tool passes.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/ui/UIControl.h"
#include "platform/ui/UINotify.h"
#include "platform/ui/UIRender.h"
#include "platform/ui/UISkinSource.h"
#include "platform/ui/UIText.h"

// What the layout's Window element declares.
struct TWindowSettings {
    SIZE szInitWindowSize{};
    SIZE szMinWindow{};
    RECT rcCaption{};
    CDuiString sLayeredImage;
};

class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // Process-wide: the module whose resources hold the skin, its folder (with a
    // trailing "/"), and the base folder for skins on disk.
    static void SetInstance(HINSTANCE instance);
    static HINSTANCE GetInstance();
    static CDuiString GetInstancePath();
    static void SetResourcePath(LPCTSTR path);
    static CDuiString GetResourcePath();
    // Runs the library's message loop until PostQuitMessage.
    static void MessageLoop();
    // The manager attached to a window, or null.
    static CPaintManagerUI* FromWindow(HWND hwnd);

    void Init(HWND hwnd);
    HWND GetPaintWindow() const { return m_hWnd; }

    // The skin the layout and its pictures are read from.
    void SetSkin(std::unique_ptr<kestrova::ui::SkinSource> skin);
    // A picture by skin entry name or absolute path, decoded once and kept; null (and
    // traced once) when it cannot be loaded.
    const TImageInfo* GetImageEx(LPCTSTR name);

    // Fonts by layout id; GetFont of an unknown id (-1 included) is the default font.
    void AddFont(int id, LPCTSTR family, int size, bool bold, bool isDefault);
    HFONT GetFont(int id);
    void AddDefaultAttributeList(LPCTSTR controlClass, LPCTSTR list);
    LPCTSTR GetDefaultAttributeList(LPCTSTR controlClass) const;

    void SetWindowSettings(const TWindowSettings& settings) { m_settings = settings; }
    const TWindowSettings& GetWindowSettings() const { return m_settings; }
    SIZE GetInitSize() const { return m_settings.szInitWindowSize; }
    const RECT& GetCaptionRect() const { return m_settings.rcCaption; }

    // Takes ownership of the tree and lays it out over the client area.
    bool AttachDialog(CControlUI* root);
    CControlUI* GetRoot() const { return m_root.get(); }
    CControlUI* FindControl(LPCTSTR name) const;
    CControlUI* FindControl(POINT pt) const;

    void SetClientSize(SIZE size);
    SIZE GetClientSize() const { return m_szClient; }
    // Lays the tree out again at the next paint and renders all of it.
    void NeedUpdate();
    // Renders rc again at the next paint (with anything else invalidated meanwhile: the
    // box around them all); the rest of the frame is kept.
    void Invalidate(const RECT& rc);
    // Lays out the tree now if anything changed since the last layout.
    void UpdateLayout();

    // A measuring context: text measured in it matches what painting draws. The controls'
    // text layouts are made in it and kept, whatever they are drawn into.
    HDC GetPaintDC();
    // Brings the frame up to date at dc's scale and copies it, whole, into dc.
    void Render(HDC dc);
    // Brings the window's frame up to date at scale (device pixels per design pixel) and
    // returns it, borrowed until the next paint or the manager's end. changed receives the
    // device rectangle rendered now: empty when nothing was invalidated, the whole frame
    // when it is new (first paint, a new size or scale). Null without a root control.
    cairo_surface_t* UpdateFrame(double scale, RECT& changed);
    // Called with every control the frame renders (its part inside what was invalidated),
    // for tests and benchmarks that count the work; empty for none.
    void SetPaintObserver(std::function<void(const CControlUI&)> observer);
    void ControlPainted(const CControlUI& control);

    void AddNotifier(INotifyUI* notifier);
    void RemoveNotifier(INotifyUI* notifier);
    void SendNotify(CControlUI* control, LPCTSTR type, WPARAM wParam = 0, LPARAM lParam = 0);
    void AddPreMessageFilter(IMessageFilterUI* filter);
    void RemovePreMessageFilter(IMessageFilterUI* filter);
    // Runs the pre-message filters; true when one of them handled the message.
    bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    // The library's own processing of a window message: painting, sizing and the mouse.
    // True when the message is fully handled.
    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

private:
    void SendEvent(CControlUI* control, int type, POINT pt, WPARAM wParam = 0);
    void OnMouseMove(POINT pt);

    HWND m_hWnd = nullptr;
    std::unique_ptr<kestrova::ui::SkinSource> m_skin;
    std::map<std::wstring, kestrova::ui::ImagePtr> m_images;
    std::set<std::wstring> m_missingImages;
    std::map<int, std::unique_ptr<HFONT__>> m_fonts;
    int m_defaultFontId = -1;
    std::unique_ptr<HFONT__> m_fallbackFont;
    std::map<std::wstring, std::wstring> m_defaultAttributes;
    TWindowSettings m_settings;
    std::unique_ptr<CControlUI> m_root;
    SIZE m_szClient{};
    bool m_bUpdateNeeded = false;
    RECT m_rcDirty{};  // design pixels; empty: nothing to render
    kestrova::ui::SurfacePtr m_frame;
    double m_frameScale = 0;
    std::function<void(const CControlUI&)> m_paintObserver;
    cairo_surface_t* m_measureSurface = nullptr;
    std::unique_ptr<HDC__> m_measureDC;
    std::vector<INotifyUI*> m_notifiers;
    std::vector<IMessageFilterUI*> m_preFilters;
    CControlUI* m_pEventHover = nullptr;
    CControlUI* m_pEventClick = nullptr;
};
