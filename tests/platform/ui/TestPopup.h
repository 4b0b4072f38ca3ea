// A window built from the pop-up layout in the skin the test set as its resource 104,
// recording what reaches it, for the window and x11 tests.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "platform/ui/UIlib.h"

namespace kestrova::uitest {

// What happened to test windows, in order ("init", "final", "destructor", ...).
std::vector<std::string>& popupEvents();

class PopupWindow : public WindowImplBase {
public:
    std::vector<std::wstring> clicks;
    std::vector<WPARAM> filteredKeys;
    std::vector<WPARAM> timerIds;
    bool swallowEnterEscape = true;
    bool throwOnClick = false;
    bool deleteOnFinal = false;

    ~PopupWindow() override {
        popupEvents().push_back("destructor");
        if (deleteOnFinal)
            PostQuitMessage(0);
    }

    void OnClick(TNotifyUI& msg) override {
        if (throwOnClick)
            throw std::runtime_error("handler failed");
        clicks.push_back(msg.pSender->GetName().str());
    }

    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override {
        if (uMsg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
            filteredKeys.push_back(wParam);
            if (swallowEnterEscape)
                return 0;
        }
        return WindowImplBase::MessageHandler(uMsg, wParam, lParam, bHandled);
    }

    LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM, BOOL& bHandled) override {
        if (uMsg == WM_TIMER)
            timerIds.push_back(wParam);
        bHandled = FALSE;
        return 0;
    }

    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override {
        popupEvents().push_back(IsWindow(m_hWnd) ? "destroy while window exists" : "destroy late");
        return WindowImplBase::OnDestroy(uMsg, wParam, lParam, bHandled);
    }

    void OnFinalMessage(HWND hWnd) override {
        WindowImplBase::OnFinalMessage(hWnd);
        popupEvents().push_back(IsWindow(hWnd) ? "final while window exists" : "final");
        if (deleteOnFinal)
            delete this;
    }

    void InitWindow() override { popupEvents().push_back("init"); }

    LPCTSTR GetWindowClassName() const override { return L"FloatDlg"; }
    CDuiString GetSkinFolder() override { return L"AdvertisingSkin\\"; }
    CDuiString GetSkinFile() override { return L"FloatDlg.xml"; }
    UILIB_RESOURCETYPE GetResourceType() const override { return UILIB_ZIPRESOURCE; }
    UINT GetResourceID() const override { return 104; }
    std::span<const std::uint8_t> GetProgramResource(ProgramResource kind, UINT id) const override {
        return testResource(kind, id);
    }

    DUI_DECLARE_MESSAGE_MAP()
};

}  // namespace kestrova::uitest
