// Helpers for the library's tests: pictures and zip archives made in memory, resources the
// test windows answer with, the pop-up's skin, and pixel reads from rendered frames.
#pragma once

#include <cairo.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/UIHeadless.h"
#include "platform/ui/UIManager.h"
#include "platform/ui/UIWindow.h"
#include "tests/support/Process.h"
#include "tests/support/Wait.h"

namespace kestrova::uitest {

using Bytes = std::vector<std::uint8_t>;

// A PNG of w x h drawn by paint (on a transparent ground).
Bytes makePng(int w, int h, const std::function<void(cairo_t*)>& paint);
// A zip archive with the given entries.
Bytes makeZip(const std::map<std::string, std::string>& entries);

// The resources test windows answer GetProgramResource with (kept alive here).
void setResource(ProgramResource kind, UINT id, Bytes bytes);
void clearResources();
std::span<const std::uint8_t> testResource(ProgramResource kind, UINT id);

// A zip archive of the program's skin files (layout and pictures) from the source tree;
// edit, when given, may change or remove entries first.
using SkinEntries = std::map<std::string, std::string>;
Bytes popupSkinZip(const std::function<void(SkinEntries&)>& edit = {});
// A paint manager holding the pop-up layout (from zip, which must outlive it), laid out
// at the layout's 320 x 180.
std::unique_ptr<CPaintManagerUI> loadPopup(const Bytes& zip);
// A file of the source tree, by its path relative to the tree's root.
std::string readSourceFile(const std::string& relative);
std::string sourcePath(const std::string& relative);

// Installs a fresh headless backend for the test and returns it.
kestrova::ui::HeadlessBackend& useHeadless();

// A rendered frame of a paint manager.
class Frame {
public:
    Frame(CPaintManagerUI& pm, int w, int h);
    ~Frame();
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    // Un-premultiplied 0xAARRGGBB at x, y.
    std::uint32_t pixel(int x, int y) const;
    bool writePng(const std::string& path) const;

private:
    cairo_surface_t* m_surface;
};

inline std::string run(const std::string& command) {
    return test::runCommand(command);
}
using test::waitFor;

// True when the colours differ by at most tolerance in every channel (alpha included).
bool near(std::uint32_t a, std::uint32_t b, int tolerance);
std::string hex(std::uint32_t argb);
inline std::string rectText(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

}  // namespace kestrova::uitest
