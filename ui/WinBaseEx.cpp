// Skin location, icon, shadow and the key filter of the program's skinned windows.
#include "ui/WinBaseEx.h"

#include "platform/resource/Resource.h"

CWinBaseEx::CWinBaseEx() = default;
CWinBaseEx::~CWinBaseEx() = default;

CDuiString CWinBaseEx::GetSkinFolder() {
    return L"AdvertisingSkin\\";
}

UILIB_RESOURCETYPE CWinBaseEx::GetResourceType() const {
    return UILIB_ZIPRESOURCE;
}

CDuiString CWinBaseEx::GetZIPFileName() const {
    return L"AdvertisingSkin.zip";
}

UINT CWinBaseEx::GetResourceID() const {
    return kestrova::kSkinResourceId;
}

std::span<const std::uint8_t> CWinBaseEx::GetProgramResource(ProgramResource kind, UINT id) const {
    const std::string_view type =
        kind == ProgramResource::Icon ? kestrova::kIconResourceType : kestrova::kSkinResourceType;
    return kestrova::findResource(type, static_cast<int>(id));
}

LRESULT CWinBaseEx::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
    // A pop-up that vanishes on a stray Escape, or acts on Enter, would lose the advert
    // before the user saw it; only the close button closes it.
    if (uMsg == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
        return 0;
    }
    return WindowImplBase::MessageHandler(uMsg, wParam, lParam, bHandled);
}

void CWinBaseEx::InitIconAndShadow() {
    SetIcon(kestrova::kIconResourceId);
    m_pShadow = std::make_unique<CWndShadow>();
    m_pShadow->Create(GetHWND());
    m_pShadow->SetImage(L"shadow.png", RECT{16, 16, 16, 16}, RECT{0, 0, 0, 0});
}
