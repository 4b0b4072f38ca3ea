// Layout-backed windows: skin lookup, layout building at creation and the message
// routing between handlers, filters and the paint manager.
#include "platform/ui/UIWindowImpl.h"

#include "platform/ui/UIMarkup.h"
#include "platform/ui/UIMessageCore.h"
#include "platform/ui/UITrace.h"
#include "platform/ui/UIWinApi.h"

using namespace kestrova::ui;

DUI_BEGIN_MESSAGE_MAP(WindowImplBase, CNotifyPump)
DUI_END_MESSAGE_MAP()

WindowImplBase::~WindowImplBase() = default;

void WindowImplBase::OnFinalMessage(HWND /*hWnd*/) {
    m_pm.RemovePreMessageFilter(this);
    m_pm.RemoveNotifier(this);
}

void WindowImplBase::Notify(TNotifyUI& msg) {
    NotifyPump(msg);
}

void WindowImplBase::OnClick(TNotifyUI& /*msg*/) {}

LRESULT WindowImplBase::ResponseDefaultKeyEvent(WPARAM wParam) {
    if (wParam == VK_ESCAPE) {
        Close();
        return TRUE;
    }
    return FALSE;
}

UINT WindowImplBase::GetClassStyle() const {
    return 0;
}
UILIB_RESOURCETYPE WindowImplBase::GetResourceType() const {
    return UILIB_FILE;
}
CDuiString WindowImplBase::GetZIPFileName() const {
    return CDuiString();
}
UINT WindowImplBase::GetResourceID() const {
    return 0;
}
CControlUI* WindowImplBase::CreateControl(LPCTSTR /*pstrClass*/) {
    return nullptr;
}

LRESULT WindowImplBase::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM /*lParam*/,
                                       bool& bHandled) {
    if (uMsg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
        bHandled = ResponseDefaultKeyEvent(wParam) != FALSE;
        return 0;
    }
    return 0;
}

std::unique_ptr<SkinSource> WindowImplBase::OpenSkin(std::string& error) {
    std::string folder = toUtf8(CPaintManagerUI::GetResourcePath().str());
    std::string skinFolder = toUtf8(GetSkinFolder().str());
    // The skin folder is written with the Windows separator; here it is "/".
    for (char& c : skinFolder) {
        if (c == '\\')
            c = '/';
    }
    switch (GetResourceType()) {
        case UILIB_ZIPRESOURCE: {
            auto bytes = GetProgramResource(ProgramResource::SkinArchive, GetResourceID());
            if (bytes.empty()) {
                error =
                    "the program holds no skin archive with id " + std::to_string(GetResourceID());
                return nullptr;
            }
            return openZipSkin(bytes, error);
        }
        case UILIB_FILE:
            return openFolderSkin(folder + "/" + skinFolder);
        default:
            error = "unsupported skin resource type " + std::to_string(GetResourceType());
            return nullptr;
    }
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = TRUE;
    m_pm.Init(m_hWnd);
    m_pm.AddPreMessageFilter(this);
    std::string error;
    std::unique_ptr<SkinSource> skin = OpenSkin(error);
    BuildResult built;
    if (skin) {
        built = buildLayout(*skin, toUtf8(GetSkinFile().str()), m_pm, this);
        error = built.error;
    }
    if (!built) {
        trace("window %s not created: %s", toUtf8(GetWindowClassName()).c_str(), error.c_str());
        return -1;
    }
    m_pm.SetSkin(std::move(skin));
    m_pm.AttachDialog(built.root.release());
    m_pm.AddNotifier(this);
    SIZE init = m_pm.GetInitSize();
    if (init.cx > 0 && init.cy > 0) {
        SetWindowPos(m_hWnd, nullptr, 0, 0, init.cx, init.cy, SWP_NOMOVE);
    }
    InitWindow();
    return 0;
}

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
    bHandled = TRUE;
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    POINT pt{GET_X_LPARAM(lParam) - window.left, GET_Y_LPARAM(lParam) - window.top};
    const RECT& caption = m_pm.GetCaptionRect();
    LONG width = window.right - window.left;
    bool inCaption = pt.x >= caption.left && pt.x < width - caption.right && pt.y >= caption.top &&
                     pt.y < caption.bottom;
    if (!inCaption) {
        return HTCLIENT;
    }
    CControlUI* control = m_pm.FindControl(pt);
    return control && control->IsInteractive() ? HTCLIENT : HTCAPTION;
}

// Handlers that leave the message to the library's own processing.
#define KESTROVA_PASS_ON(handler)                                           \
    LRESULT WindowImplBase::handler(UINT, WPARAM, LPARAM, BOOL& bHandled) { \
        bHandled = FALSE;                                                   \
        return 0;                                                           \
    }
KESTROVA_PASS_ON(OnClose)
KESTROVA_PASS_ON(OnDestroy)
KESTROVA_PASS_ON(OnNcActivate)
KESTROVA_PASS_ON(OnNcCalcSize)
KESTROVA_PASS_ON(OnNcPaint)
KESTROVA_PASS_ON(OnGetMinMaxInfo)
KESTROVA_PASS_ON(OnMouseWheel)
KESTROVA_PASS_ON(OnMouseHover)
KESTROVA_PASS_ON(OnSize)
KESTROVA_PASS_ON(OnChar)
KESTROVA_PASS_ON(OnSysCommand)
KESTROVA_PASS_ON(OnKeyDown)
KESTROVA_PASS_ON(OnKillFocus)
KESTROVA_PASS_ON(OnSetFocus)
KESTROVA_PASS_ON(OnLButtonDown)
KESTROVA_PASS_ON(OnLButtonUp)
KESTROVA_PASS_ON(OnMouseMove)
#undef KESTROVA_PASS_ON

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LONG WindowImplBase::GetStyle() {
    return GetWindowLongW(m_hWnd, GWL_STYLE);
}

LRESULT WindowImplBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT lRes = 0;
    BOOL bHandled = TRUE;
    switch (uMsg) {
        case WM_CREATE:
            lRes = OnCreate(uMsg, wParam, lParam, bHandled);
            break;
        case WM_CLOSE:
            lRes = OnClose(uMsg, wParam, lParam, bHandled);
            break;
        case WM_DESTROY:
            lRes = OnDestroy(uMsg, wParam, lParam, bHandled);
            break;
        case WM_NCACTIVATE:
            lRes = OnNcActivate(uMsg, wParam, lParam, bHandled);
            break;
        case WM_NCCALCSIZE:
            lRes = OnNcCalcSize(uMsg, wParam, lParam, bHandled);
            break;
        case WM_NCPAINT:
            lRes = OnNcPaint(uMsg, wParam, lParam, bHandled);
            break;
        case WM_NCHITTEST:
            lRes = OnNcHitTest(uMsg, wParam, lParam, bHandled);
            break;
        case WM_GETMINMAXINFO:
            lRes = OnGetMinMaxInfo(uMsg, wParam, lParam, bHandled);
            break;
        case WM_MOUSEWHEEL:
            lRes = OnMouseWheel(uMsg, wParam, lParam, bHandled);
            break;
        case WM_MOUSEHOVER:
            lRes = OnMouseHover(uMsg, wParam, lParam, bHandled);
            break;
        case WM_SIZE:
            lRes = OnSize(uMsg, wParam, lParam, bHandled);
            break;
        case WM_CHAR:
            lRes = OnChar(uMsg, wParam, lParam, bHandled);
            break;
        case WM_SYSCOMMAND:
            lRes = OnSysCommand(uMsg, wParam, lParam, bHandled);
            break;
        case WM_KEYDOWN:
            lRes = OnKeyDown(uMsg, wParam, lParam, bHandled);
            break;
        case WM_KILLFOCUS:
            lRes = OnKillFocus(uMsg, wParam, lParam, bHandled);
            break;
        case WM_SETFOCUS:
            lRes = OnSetFocus(uMsg, wParam, lParam, bHandled);
            break;
        case WM_LBUTTONDOWN:
            lRes = OnLButtonDown(uMsg, wParam, lParam, bHandled);
            break;
        case WM_LBUTTONUP:
            lRes = OnLButtonUp(uMsg, wParam, lParam, bHandled);
            break;
        case WM_MOUSEMOVE:
            lRes = OnMouseMove(uMsg, wParam, lParam, bHandled);
            break;
        default:
            bHandled = FALSE;
            break;
    }
    if (bHandled) {
        return lRes;
    }
    lRes = HandleCustomMessage(uMsg, wParam, lParam, bHandled);
    if (bHandled) {
        return lRes;
    }
    if (m_pm.MessageHandler(uMsg, wParam, lParam, lRes)) {
        return lRes;
    }
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}
