// CFloatDlg: the advert pop-up. It is filled with a text or a picture advert, slides up
// into the bottom-right corner of the primary monitor, opens the advert's link when the
// advert is clicked below its title row, and closes with its close button. The window
// owns itself: it is created with new, deletes itself once its native window is gone,
// and its destruction ends the message loop.
//
//   auto* dlg = new CFloatDlg;
//   dlg->Create(nullptr, caption, 0x10CF0000, 0x00020080, 0, 0, 710, 470);
//   dlg->ShowTextAdvert(title, text, link);
//   dlg->StartSlideIn();
//   CPaintManagerUI::MessageLoop();
#pragma once

#include <memory>
#include <string>

#include "platform/access/AtSpiBridge.h"
#include "ui/WinBaseEx.h"

class CFloatDlg : public CWinBaseEx {
public:
    CFloatDlg();
    // Posts the quit message: the process lives as long as this window.
    ~CFloatDlg() override;

    // Fetches the advert from the compiled-in endpoint and fills and shows this window, or
    // closes it. Defined by the advert flow (advert/ShowAdvert.cpp), the layer above the
    // window; tests run that flow through kestrova::showAdvert.
    void ShowAdvert();

    // Text page: title, wrapped text and link; the window gets the text's height, at most
    // the work area's (the text is then cut at a whole line with an ellipsis).
    void ShowTextAdvert(LPCTSTR title, LPCTSTR text, LPCTSTR link);
    // Picture page: the window gets the picture's size (320 x 250 when it cannot be
    // loaded), scaled down with its proportions when larger than the work area.
    void ShowImageAdvert(LPCTSTR title, LPCTSTR picture, LPCTSTR link);
    // Places the filled window just below the primary monitor's bottom-right corner,
    // shows it above other windows and starts the slide timer.
    void StartSlideIn();
    // One slide tick: 10 pixels up, stopping exactly on the work area's bottom.
    void SlideStep();

    void InitWindow() override;
    void OnClick(TNotifyUI& msg) override;
    LRESULT OnDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnLButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    virtual LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

protected:
    // For assistive tools (ui/FloatDlgAccess.cpp): the advert as a notification with its
    // title and text, a link that opens it and the close button; published once the
    // advert slides in, again at rest.
    kestrova::access::Tree DescribeForAccess() const;
    void PublishAccessible();
    // A tool's request to run a node's action, on the window's thread.
    void OnAccessAction(int node);
    // Opens the advert's link, as a click on the advert does.
    void OpenClickUrl();

    LPCTSTR GetWindowClassName() const override;
    CDuiString GetSkinFile() override;
    void OnFinalMessage(HWND hWnd) override;

    std::wstring m_strClickUrl;
    // Owned by the layout. Null when the layout lacks the control; the window then
    // shows what it can without it.
    CTabLayoutUI* m_pMainTab = nullptr;
    CLabelUI* m_pTitle = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nLeft = 0;
    int m_nTop = 0;
    std::unique_ptr<kestrova::access::AtSpiBridge> m_pAccess;

    DUI_DECLARE_MESSAGE_MAP()
};
