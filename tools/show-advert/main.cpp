// Shows the advert window with a given text or picture advert, without the network:
//
//   kestrova-show-advert --text TITLE TEXT LINK
//   kestrova-show-advert --picture TITLE FILE LINK
//
// The window slides in as in the product and the program ends when it is closed. A
// developer tool only: the product itself takes no options.
#include <clocale>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

#include "platform/ui/host/X11Host.h"
#include "ui/FloatDlg.h"

namespace {

// Arguments arrive in the locale's narrow encoding; malformed bytes become U+FFFD.
std::wstring toWide(const char* text) {
    std::wstring out;
    std::mbstate_t state{};
    const char* end = text + std::strlen(text);
    while (text < end) {
        wchar_t c = 0;
        size_t n = std::mbrtowc(&c, text, static_cast<size_t>(end - text), &state);
        if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
            out += L'\uFFFD';
            state = std::mbstate_t{};
            ++text;
            continue;
        }
        out += c;
        text += n == 0 ? 1 : n;
    }
    return out;
}

int usage() {
    std::fputs(
        "usage: kestrova-show-advert --text TITLE TEXT LINK\n"
        "       kestrova-show-advert --picture TITLE FILE LINK\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // As the product does: the user's locale, or UTF-8 where that is plain ASCII.
    std::setlocale(LC_ALL, "");
    const char* ctype = std::setlocale(LC_CTYPE, nullptr);
    if (!ctype || std::strcmp(ctype, "C") == 0 || std::strcmp(ctype, "POSIX") == 0)
        std::setlocale(LC_CTYPE, "C.UTF-8");
    if (argc != 5)
        return usage();
    bool text = std::strcmp(argv[1], "--text") == 0;
    if (!text && std::strcmp(argv[1], "--picture") != 0)
        return usage();
    std::wstring title = toWide(argv[2]), body = toWide(argv[3]), link = toWide(argv[4]);

    kestrova::ui::installBackend(kestrova::ui::createX11Backend());
    if (!kestrova::ui::backend().isNative()) {
        std::fputs("kestrova-show-advert: no display to show the window on\n", stderr);
        return 1;
    }
    CWndShadow::Initialize(nullptr);
    auto* dlg = new CFloatDlg;
    if (!dlg->Create(nullptr, L"Kestrova", 0x10CF0000, 0x00020080, 0, 0, 710, 470)) {
        delete dlg;
        std::fputs("kestrova-show-advert: the window could not be created\n", stderr);
        return 1;
    }
    if (text)
        dlg->ShowTextAdvert(title.c_str(), body.c_str(), link.c_str());
    else
        dlg->ShowImageAdvert(title.c_str(), body.c_str(), link.c_str());
    dlg->StartSlideIn();
    CPaintManagerUI::MessageLoop();
    return 0;
}
