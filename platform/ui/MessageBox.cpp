// The message box: a window with its own paint manager and a tree built in code (the
// box needs no skin), and a modal loop that runs until it is gone.
#include "platform/ui/MessageBox.h"

#include <algorithm>
#include <string>

#include "platform/ui/UIMessageCore.h"
#include "platform/ui/UIlib.h"

namespace {

constexpr int kWidth = 360;
constexpr int kPadding = 20;
constexpr int kButtonHeight = 28;
constexpr int kButtonWidth = 88;
constexpr int kFontSize = 14;

class CMessageBoxWnd : public CWindowWnd, public INotifyUI {
public:
    CMessageBoxWnd(std::wstring text) : m_text(std::move(text)) {}
    bool dismissed() const { return m_bDismissed; }

protected:
    LPCTSTR GetWindowClassName() const override { return L"KestrovaMessageBox"; }
    bool IsManagedDialog() const override { return true; }

public:
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
        switch (uMsg) {
            case WM_CREATE:
                return OnCreate();
            case WM_KEYDOWN:
                if (wParam == VK_RETURN || wParam == VK_SPACE || wParam == VK_ESCAPE) {
                    Dismiss();
                    return 0;
                }
                break;
            case WM_CLOSE:
                m_bDismissed = true;
                break;
            default:
                break;
        }
        LRESULT result = 0;
        if (m_pm.MessageHandler(uMsg, wParam, lParam, result)) {
            return result;
        }
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    }

    void Notify(TNotifyUI& msg) override {
        if (msg.sType == DUI_MSGTYPE_CLICK)
            Dismiss();
    }

private:
    void Dismiss() {
        m_bDismissed = true;
        DestroyWindow(m_hWnd);
    }

    // The text's height decides the box's height; the button sits centred below it.
    LRESULT OnCreate() {
        m_pm.Init(m_hWnd);
        m_pm.AddFont(0, L"Sans", kFontSize, false, true);
        int textWidth = kWidth - 2 * kPadding;
        RECT measure{0, 0, textWidth, 9999};
        HDC dc = m_pm.GetPaintDC();
        HFONT old = SelectObject(dc, m_pm.GetFont(0));
        DrawTextW(dc, m_text.c_str(), -1, &measure, DT_CALCRECT | DT_WORDBREAK);
        SelectObject(dc, old);
        int textHeight = std::clamp<int>(measure.bottom, kFontSize, 600);
        int height = kPadding + textHeight + kPadding + kButtonHeight + kPadding;

        auto* root = new CVerticalLayoutUI;
        root->SetBkColor(0xFFFFFFFF);
        auto* label = new CLabelUI;
        label->SetText(m_text.c_str());
        label->SetAttribute(L"textpadding", L"20,20,20,0");
        label->SetAttribute(L"valign", L"top");
        label->SetTextColor(0xFF202020);
        root->Add(label);
        auto* row = new CHorizontalLayoutUI;
        row->SetFixedHeight(kButtonHeight + kPadding);
        std::wstring side = std::to_wstring((kWidth - kButtonWidth) / 2);
        row->SetAttribute(L"inset",
                          (side + L",0," + side + L"," + std::to_wstring(kPadding)).c_str());
        auto* ok = new CButtonUI;
        ok->SetName(L"ok");
        ok->SetText(L"OK");
        ok->SetBkColor(0xFFE4E6EB);
        row->Add(ok);
        root->Add(row);
        m_pm.SetClientSize(SIZE{kWidth, height});
        m_pm.AttachDialog(root);
        m_pm.AddNotifier(this);
        RECT work = kestrova::workAreaOrMonitor();
        int x = work.left + (work.right - work.left - kWidth) / 2;
        int y = work.top + (work.bottom - work.top - height) / 2;
        MoveWindow(m_hWnd, x, y, kWidth, height, TRUE);
        return 0;
    }

    std::wstring m_text;
    CPaintManagerUI m_pm;
    bool m_bDismissed = false;
};

}  // namespace

int MessageBoxW(HWND owner, const wchar_t* text, const wchar_t* caption, UINT /*type*/) {
    if (!kestrova::ui::backend().isNative()) {
        return 0;
    }
    CMessageBoxWnd box(text ? text : L"");
    HWND hwnd =
        box.Create(owner, caption ? caption : L"", WS_CAPTION | WS_SYSMENU, 0, 0, 0, kWidth, 120);
    if (!hwnd) {
        return 0;
    }
    ShowWindow(hwnd, SW_SHOW);
    while (IsWindow(hwnd)) {
        if (!kestrova::ui::pumpMessages(-1)) {
            DestroyWindow(hwnd);
            break;
        }
    }
    return IDOK;
}
