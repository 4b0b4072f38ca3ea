// Start-up benchmark program (a): the pop-up's layout from the embedded skin, a wrapped
// line of CJK text, shown with the library; it prints the monotonic time of its first
// painted frame and exits.
#include <cstdio>
#include <ctime>

#include "platform/resource/Resource.h"
#include "platform/ui/UIlib.h"
#include "platform/ui/host/X11Backend.h"
#include "platform/ui/host/X11Host.h"

namespace {

class BenchFloat : public WindowImplBase {
protected:
    LPCTSTR GetWindowClassName() const override { return L"FloatDlg"; }
    CDuiString GetSkinFolder() override { return L"AdvertisingSkin\\"; }
    CDuiString GetSkinFile() override { return L"FloatDlg.xml"; }
    UILIB_RESOURCETYPE GetResourceType() const override { return UILIB_ZIPRESOURCE; }
    UINT GetResourceID() const override { return 104; }
    std::span<const std::uint8_t> GetProgramResource(ProgramResource, UINT id) const override {
        return kestrova::findResource(kestrova::kSkinResourceType, static_cast<int>(id));
    }
};

long long monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

}  // namespace

int main() {
    kestrova::ui::installBackend(kestrova::ui::createX11Backend());
    auto* native = dynamic_cast<kestrova::ui::x11::X11Backend*>(&kestrova::ui::backend());
    if (!native) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    native->setPresentedHook([](HWND) {
        std::printf("painted_ns=%lld\n", monotonicNs());
        std::fflush(stdout);
        PostQuitMessage(0);
    });
    BenchFloat window;
    HWND hwnd = window.Create(nullptr, L"bench", 0x10CF0000, 0x00020080, 0, 0, 710, 470);
    if (!hwnd)
        return 1;
    window.GetPaintManager()
        .FindControl(L"msgLabel")
        ->SetText(L"新版本已发布，欢迎升级体验更多功能。点击查看详情，了解本次更新的全部内容。");
    SetWindowPos(hwnd, HWND_TOPMOST, 1600, 900, 320, 180, SWP_SHOWWINDOW);
    CPaintManagerUI::MessageLoop();
    DestroyWindow(hwnd);
    return 0;
}
