// CWinBaseEx: the base of the program's skinned windows. It points the library at the
// skin package embedded in the program (and hands it the program's resources), gives the
// window the program icon and a drop shadow, and keeps Enter and Escape from the library's default
// key handling (which would close the window on Escape). A concrete window names its class and
// layout.
#pragma once

#include <memory>

#include "platform/ui/UIlib.h"

class CWinBaseEx : public WindowImplBase {
public:
    CWinBaseEx();
    ~CWinBaseEx() override;

    UILIB_RESOURCETYPE GetResourceType() const override;
    CDuiString GetZIPFileName() const override;
    UINT GetResourceID() const override;

    // Enter and Escape key-downs stop here, unhandled; everything else goes to the
    // library's filter.
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

    // Program icon 102 and the skin's "shadow.png" around the window. Called by the
    // concrete window's InitWindow, once its layout is loaded.
    virtual void InitIconAndShadow();

protected:
    CDuiString GetSkinFolder() override;
    // The resources embedded in the program (platform/resource).
    std::span<const std::uint8_t> GetProgramResource(ProgramResource kind, UINT id) const override;

    // Null until InitIconAndShadow; a missing shadow picture just leaves no shadow.
    std::unique_ptr<CWndShadow> m_pShadow;
};
