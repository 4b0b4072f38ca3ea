// The AT-SPI objects of one window tree, served on the accessibility bus: the program's
// root (Accessible, Application) and one object per node (Accessible, Component, and Text
// or Action where the node has text or an action). Paths are
// /org/a11y/atspi/accessible/root and /org/a11y/atspi/accessible/N for node N.
#pragma once

#include <gio/gio.h>

#include <mutex>
#include <string>

#include "platform/access/AccessibleTree.h"

namespace kestrova::access {

// What the objects answer from, shared by the window's thread (which updates the tree)
// and the bridge's (which serves it).
struct Served {
    std::mutex mutex;
    Tree tree;
    ActionSink sink;
    std::string busName;      // ours on the accessibility bus
    std::string desktopName;  // the registry's desktop, the program's parent
    std::string desktopPath;
    int id = 0;  // the number the registry gives the program
};

constexpr char kRootPath[] = "/org/a11y/atspi/accessible/root";
constexpr char kObjectsPath[] = "/org/a11y/atspi/accessible";
constexpr char kCachePath[] = "/org/a11y/atspi/cache";

std::string pathOf(int node);

// The subtree under kObjectsPath; the user data is the Served.
const GDBusSubtreeVTable* subtreeVTable();
// The (empty) cache object tools ask first; its registration id, 0 on failure.
unsigned registerCache(GDBusConnection* bus);

}  // namespace kestrova::access
