// The paint manager's resources (skin, pictures, fonts, defaults), the tree's layout
// and painting, and the registry of managers by window.
#include "platform/ui/UIManager.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/UIMessageCore.h"
#include "platform/ui/UIPainter.h"
#include "platform/ui/UITrace.h"
#include "platform/ui/UIWinApi.h"
#include "util/Folders.h"

namespace {

HINSTANCE g_instance = nullptr;
CDuiString g_resourcePath;

std::vector<CPaintManagerUI*>& managers() {
    static std::vector<CPaintManagerUI*> all;
    return all;
}

}  // namespace

CPaintManagerUI::CPaintManagerUI() {
    managers().push_back(this);
}

CPaintManagerUI::~CPaintManagerUI() {
    std::erase(managers(), this);
    // Controls may ask the manager for fonts while they go; drop them first.
    m_pEventHover = m_pEventClick = nullptr;
    m_root.reset();
    m_measureDC.reset();
    if (m_measureSurface) {
        cairo_surface_destroy(m_measureSurface);
    }
}

void CPaintManagerUI::SetInstance(HINSTANCE instance) {
    g_instance = instance;
}
HINSTANCE CPaintManagerUI::GetInstance() {
    return g_instance;
}
CDuiString CPaintManagerUI::GetInstancePath() {
    std::wstring folder = getExeDir();
    if (folder.empty() || folder.back() != L'/') {
        folder += L'/';
    }
    return CDuiString(folder);
}
void CPaintManagerUI::SetResourcePath(LPCTSTR path) {
    g_resourcePath = path;
}
CDuiString CPaintManagerUI::GetResourcePath() {
    return g_resourcePath;
}
void CPaintManagerUI::MessageLoop() {
    kestrova::ui::runMessageLoop();
}

CPaintManagerUI* CPaintManagerUI::FromWindow(HWND hwnd) {
    if (!hwnd) {
        return nullptr;
    }
    for (CPaintManagerUI* pm : managers()) {
        if (pm->m_hWnd == hwnd) {
            return pm;
        }
    }
    return nullptr;
}

void CPaintManagerUI::Init(HWND hwnd) {
    m_hWnd = hwnd;
}

void CPaintManagerUI::SetSkin(std::unique_ptr<kestrova::ui::SkinSource> skin) {
    m_skin = std::move(skin);
    m_images.clear();
    m_missingImages.clear();
    Invalidate(RECT{0, 0, m_szClient.cx, m_szClient.cy});
}

const TImageInfo* CPaintManagerUI::GetImageEx(LPCTSTR name) {
    using namespace kestrova::ui;
    std::wstring key = name ? name : L"";
    if (auto it = m_images.find(key); it != m_images.end()) {
        return it->second.get();
    }
    if (key.empty() || m_missingImages.contains(key)) {
        return nullptr;
    }
    std::string file = toUtf8(key);
    DecodeResult decoded{nullptr, "not found"};
    if (file.front() == '/') {
        // A picture on disk is one a program also sizes with LoadImageW: shared, not
        // decoded again.
        decoded = loadPictureFile(file);
    } else if (std::optional<std::string> bytes = m_skin ? m_skin->read(file) : std::nullopt) {
        decoded =
            decodeImage({reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size()});
    }
    if (!decoded.image) {
        // A missing picture is cosmetic: say so once and draw without it.
        kestrova::ui::trace("picture '%s' not drawn: %s", file.c_str(), decoded.error.c_str());
        m_missingImages.insert(key);
        return nullptr;
    }
    return (m_images[key] = std::move(decoded.image)).get();
}

void CPaintManagerUI::AddFont(int id, LPCTSTR family, int size, bool bold, bool isDefault) {
    m_fonts[id] = std::make_unique<HFONT__>(family ? family : L"", size, bold);
    if (isDefault || m_defaultFontId < 0) {
        m_defaultFontId = id;
    }
}

HFONT CPaintManagerUI::GetFont(int id) {
    if (auto it = m_fonts.find(id); it != m_fonts.end()) {
        return it->second.get();
    }
    if (auto it = m_fonts.find(m_defaultFontId); it != m_fonts.end()) {
        return it->second.get();
    }
    if (!m_fallbackFont) {
        m_fallbackFont = std::make_unique<HFONT__>(L"", 12, false);
    }
    return m_fallbackFont.get();
}

void CPaintManagerUI::AddDefaultAttributeList(LPCTSTR controlClass, LPCTSTR list) {
    m_defaultAttributes[controlClass ? controlClass : L""] = list ? list : L"";
}

LPCTSTR CPaintManagerUI::GetDefaultAttributeList(LPCTSTR controlClass) const {
    auto it = m_defaultAttributes.find(controlClass ? controlClass : L"");
    return it == m_defaultAttributes.end() ? nullptr : it->second.c_str();
}

bool CPaintManagerUI::AttachDialog(CControlUI* root) {
    if (!root) {
        return false;
    }
    m_pEventHover = m_pEventClick = nullptr;
    m_root.reset(root);
    m_root->SetManager(this, nullptr);
    if (m_szClient.cx == 0 && m_szClient.cy == 0) {
        m_szClient = m_settings.szInitWindowSize;
    }
    NeedUpdate();
    UpdateLayout();
    return true;
}

CControlUI* CPaintManagerUI::FindControl(LPCTSTR name) const {
    return m_root && name ? m_root->FindControlByName(name) : nullptr;
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const {
    return m_root ? m_root->FindControlAt(pt) : nullptr;
}

void CPaintManagerUI::SetClientSize(SIZE size) {
    if (size.cx == m_szClient.cx && size.cy == m_szClient.cy) {
        return;
    }
    m_szClient = size;
    NeedUpdate();
}

void CPaintManagerUI::NeedUpdate() {
    m_bUpdateNeeded = true;
    Invalidate(RECT{0, 0, m_szClient.cx, m_szClient.cy});
}

void CPaintManagerUI::Invalidate(const RECT& rc) {
    if (IsRectEmpty(&rc)) {
        return;
    }
    UnionRect(&m_rcDirty, &m_rcDirty, &rc);
    if (m_hWnd) {
        kestrova::ui::invalidateWindow(m_hWnd);
    }
}

void CPaintManagerUI::UpdateLayout() {
    if (!m_bUpdateNeeded || !m_root) {
        return;
    }
    m_bUpdateNeeded = false;
    m_root->SetPos(RECT{0, 0, m_szClient.cx, m_szClient.cy});
}

// Made on first measurement: a window that is created but never shown measures nothing.
HDC CPaintManagerUI::GetPaintDC() {
    if (!m_measureDC) {
        m_measureSurface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
        cairo_t* cr = cairo_create(m_measureSurface);
        m_measureDC = std::make_unique<HDC__>(cr);
        cairo_destroy(cr);
    }
    return m_measureDC.get();
}

void CPaintManagerUI::Render(HDC dc) {
    if (!dc) {
        return;
    }
    double sx = 1, sy = 1;
    cairo_user_to_device_distance(dc->cr, &sx, &sy);
    const double scale = std::abs(sx);
    RECT changed{};
    cairo_surface_t* frame = UpdateFrame(scale, changed);
    if (!frame) {
        return;
    }
    cairo_t* cr = dc->cr;
    cairo_save(cr);
    cairo_scale(cr, 1 / scale, 1 / scale);
    cairo_set_source_surface(cr, frame, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
}

namespace {

// The device pixels that cover rc at scale, within a frame of size.
RECT deviceRect(const RECT& rc, double scale, SIZE size) {
    const RECT covering{static_cast<LONG>(std::floor(rc.left * scale)),
                        static_cast<LONG>(std::floor(rc.top * scale)),
                        static_cast<LONG>(std::ceil(rc.right * scale)),
                        static_cast<LONG>(std::ceil(rc.bottom * scale))};
    const RECT frame{0, 0, size.cx, size.cy};
    RECT inside{};
    IntersectRect(&inside, &covering, &frame);
    return inside;
}

}  // namespace

cairo_surface_t* CPaintManagerUI::UpdateFrame(double scale, RECT& changed) {
    changed = RECT{};
    if (!m_root || !(scale > 0)) {
        return nullptr;
    }
    UpdateLayout();
    const SIZE size{static_cast<LONG>(std::max(1L, std::lround(m_szClient.cx * scale))),
                    static_cast<LONG>(std::max(1L, std::lround(m_szClient.cy * scale)))};
    const RECT client{0, 0, m_szClient.cx, m_szClient.cy};
    if (!m_frame || scale != m_frameScale ||
        cairo_image_surface_get_width(m_frame.get()) != size.cx ||
        cairo_image_surface_get_height(m_frame.get()) != size.cy) {
        m_frame.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size.cx, size.cy));
        m_frameScale = scale;
        m_rcDirty = client;
    }
    RECT dirty{};
    IntersectRect(&dirty, &m_rcDirty, &client);
    m_rcDirty = RECT{};
    const RECT device = deviceRect(dirty, scale, size);
    if (IsRectEmpty(&device)) {
        return m_frame.get();
    }
    // At a fractional scale a device pixel at the edge also covers a neighbour's design
    // pixels: every control under the cleared pixels draws again.
    const RECT covered{static_cast<LONG>(std::floor(device.left / scale)),
                       static_cast<LONG>(std::floor(device.top / scale)),
                       static_cast<LONG>(std::ceil(device.right / scale)),
                       static_cast<LONG>(std::ceil(device.bottom / scale))};
    // Everything under the invalidated pixels is drawn again, clipped to them; whole
    // device pixels, so nothing at the edge is blended twice.
    cairo_t* cr = cairo_create(m_frame.get());
    cairo_rectangle(cr, device.left, device.top, device.right - device.left,
                    device.bottom - device.top);
    cairo_clip(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    cairo_scale(cr, scale, scale);
    {
        HDC__ dc(cr);
        kestrova::ui::Painter painter(&dc);
        if (!m_settings.sLayeredImage.IsEmpty()) {
            auto spec = kestrova::ui::parseImageSpec(m_settings.sLayeredImage.str());
            if (spec.spec) {
                if (const TImageInfo* image = GetImageEx(spec.spec->file.c_str())) {
                    painter.drawImage(*image, client, *spec.spec);
                }
            }
        }
        m_root->DoPaint(painter, covered);
    }
    cairo_destroy(cr);
    cairo_surface_flush(m_frame.get());
    changed = device;
    return m_frame.get();
}

void CPaintManagerUI::SetPaintObserver(std::function<void(const CControlUI&)> observer) {
    m_paintObserver = std::move(observer);
}

void CPaintManagerUI::ControlPainted(const CControlUI& control) {
    if (m_paintObserver) {
        m_paintObserver(control);
    }
}

void CPaintManagerUI::AddNotifier(INotifyUI* notifier) {
    if (notifier &&
        std::find(m_notifiers.begin(), m_notifiers.end(), notifier) == m_notifiers.end()) {
        m_notifiers.push_back(notifier);
    }
}

void CPaintManagerUI::RemoveNotifier(INotifyUI* notifier) {
    std::erase(m_notifiers, notifier);
}

void CPaintManagerUI::SendNotify(CControlUI* control, LPCTSTR type, WPARAM wParam, LPARAM lParam) {
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = control;
    msg.wParam = wParam;
    msg.lParam = lParam;
    // A notifier may add or remove notifiers (or close the window); walk a copy.
    std::vector<INotifyUI*> notifiers = m_notifiers;
    for (INotifyUI* notifier : notifiers) {
        notifier->Notify(msg);
    }
}

void CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* filter) {
    if (filter &&
        std::find(m_preFilters.begin(), m_preFilters.end(), filter) == m_preFilters.end()) {
        m_preFilters.push_back(filter);
    }
}

void CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* filter) {
    std::erase(m_preFilters, filter);
}

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    std::vector<IMessageFilterUI*> filters = m_preFilters;
    for (IMessageFilterUI* filter : filters) {
        bool handled = false;
        LRESULT result = filter->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled) {
            lRes = result;
            return true;
        }
    }
    return false;
}
