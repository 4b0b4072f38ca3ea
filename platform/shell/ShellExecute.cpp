// The link opener behind ShellExecuteW.
#include "platform/shell/ShellExecute.h"

#include <climits>
#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <mutex>
#include <optional>

#include "platform/shell/Spawn.h"

namespace kestrova {
namespace {

bool launchWithXdgOpen(const std::string& link) {
    return spawnDetached({"xdg-open", link}).has_value();
}

struct LauncherSlot {
    std::mutex lock;
    LinkLauncher launcher = launchWithXdgOpen;
};

LauncherSlot& slot() {
    static LauncherSlot s;
    return s;
}

bool equalsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i])))
            return false;
    }
    return true;
}

// C0, DEL and C1 controls: a newline or escape in a link is never legitimate and some
// openers and terminals act on them.
bool isControl(wchar_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// The locale's narrow encoding; nothing when a character cannot be represented, since a
// "?" put in its place would open a different address.
std::optional<std::string> toNarrow(std::wstring_view text) {
    std::string out;
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (wchar_t c : text) {
        size_t n = std::wcrtomb(buffer, c, &state);
        if (n == static_cast<size_t>(-1)) {
            return std::nullopt;
        }
        out.append(buffer, n);
    }
    return out;
}

HINSTANCE result(int code) {
    return reinterpret_cast<HINSTANCE>(static_cast<std::intptr_t>(code));
}

}  // namespace

bool isWebLink(std::wstring_view link) {
    size_t colon = link.find(L':');
    if (colon == std::wstring_view::npos) {
        return false;
    }
    std::wstring_view scheme = link.substr(0, colon);
    if (!equalsNoCase(scheme, L"http") && !equalsNoCase(scheme, L"https")) {
        return false;
    }
    std::wstring_view rest = link.substr(colon + 1);
    if (rest.size() <= 2 || rest.substr(0, 2) != L"//") {
        return false;
    }
    for (wchar_t c : link) {
        if (isControl(c))
            return false;
    }
    return true;
}

std::wstring_view unquoteParameters(std::wstring_view parameters) {
    if (parameters.empty() || parameters.front() != L'"') {
        return parameters;
    }
    parameters.remove_prefix(1);
    if (!parameters.empty() && parameters.back() == L'"') {
        parameters.remove_suffix(1);
    }
    return parameters;
}

LinkLauncher setLinkLauncher(LinkLauncher launcher) {
    std::lock_guard guard(slot().lock);
    LinkLauncher previous = std::move(slot().launcher);
    slot().launcher = launcher ? std::move(launcher) : LinkLauncher(launchWithXdgOpen);
    return previous;
}

}  // namespace kestrova

HINSTANCE ShellExecuteW(HWND /*hwnd*/, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters,
                        LPCWSTR /*directory*/, int /*showCmd*/) {
    using namespace kestrova;
    bool open = !operation || equalsNoCase(operation, L"open");
    if (!open || !file || !equalsNoCase(file, L"explorer.exe")) {
        return result(SE_ERR_NOASSOC);
    }
    std::wstring_view link = unquoteParameters(parameters ? parameters : L"");
    if (!isWebLink(link)) {
        return result(SE_ERR_ACCESSDENIED);
    }
    std::optional<std::string> narrow = toNarrow(link);
    if (!narrow) {
        return result(SE_ERR_ACCESSDENIED);
    }
    LinkLauncher launcher;
    {
        std::lock_guard guard(slot().lock);
        launcher = slot().launcher;
    }
    return result(launcher(*narrow) ? 42 : SE_ERR_FNF);
}
