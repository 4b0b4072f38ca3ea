// CWindowWnd: a C++ object bound to one native window. Its messages arrive through
// HandleMessage; when the native window is gone, OnFinalMessage runs (a window that owns
// itself deletes itself there).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/ui/UIDefs.h"
#include "platform/ui/UIString.h"

// The kinds of program resource a window reads: its skin archive (UILIB_ZIPRESOURCE) and
// its icon.
enum class ProgramResource { SkinArchive, Icon };

class CWindowWnd {
public:
    CWindowWnd() = default;
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Creates the native window and runs WM_CREATE. The window stays hidden, whatever
    // the style says, until ShowWindow or SetWindowPos with SWP_SHOWWINDOW: shown at
    // once it would sit blank until its owner has placed and filled it. Null when the
    // window could not be created or its WM_CREATE refused; no OnFinalMessage runs then
    // and the object stays the caller's.
    HWND Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, int x = 0,
                int y = 0, int cx = 0, int cy = 0, HMENU hMenu = nullptr);
    HWND Create(HWND hwndParent, LPCTSTR pstrName, DWORD dwStyle, DWORD dwExStyle, const RECT& rc,
                HMENU hMenu = nullptr);

    // The caption the window was created with.
    const std::wstring& GetCaption() const { return m_strCaption; }

    void ShowWindow(bool bShow = true, bool bTakeFocus = true);
    // Asks the window to close (WM_CLOSE is posted with nRet); the window then goes and
    // OnFinalMessage runs.
    void Close(UINT nRet = IDOK);
    // Sets the window icon from the program's icon resource nRes.
    void SetIcon(UINT nRes);

    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);

    // The library's final step after the native window is gone; runs OnFinalMessage.
    void FinalMessageFromCore(HWND hWnd);

protected:
    virtual LPCTSTR GetWindowClassName() const = 0;
    virtual LPCTSTR GetSuperClassName() const { return nullptr; }
    virtual UINT GetClassStyle() const { return 0; }
    // A window the window manager places and decorates (message boxes) rather than the
    // self-placed pop-up.
    virtual bool IsManagedDialog() const { return false; }
    // The bytes of the program's resource of that kind and id, or an empty span (the
    // default: a window without resources). The library holds no resources and links
    // none: a window answers from the program it belongs to.
    virtual std::span<const std::uint8_t> GetProgramResource(ProgramResource kind, UINT id) const;

public:
    virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);

protected:
    virtual void OnFinalMessage(HWND hWnd);

    HWND m_hWnd = nullptr;
    std::wstring m_strCaption;
};
