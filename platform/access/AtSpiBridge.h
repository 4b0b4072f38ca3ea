// The bridge between a window and assistive tools (screen readers such as Orca): while
// accessibility is on for the session (the org.a11y.Status IsEnabled property of the
// session's accessibility bus launcher), the window's tree is served over AT-SPI on the
// accessibility bus and the program is registered with the desktop's registry. Otherwise
// nothing more happens: one question to the session bus, asked on the bridge's own
// thread, so the window never waits for it.
//
//   kestrova::access::AtSpiBridge bridge(tree, [hwnd](int node) { post to hwnd });
//   bridge.update(tree);  // after the window changed
#pragma once

#include <memory>
#include <thread>

#include "platform/access/AccessibleTree.h"

namespace kestrova::access {

struct Served;

class AtSpiBridge {
public:
    AtSpiBridge(Tree tree, ActionSink sink);
    // Leaves the bus and waits for the bridge's thread.
    ~AtSpiBridge();
    AtSpiBridge(const AtSpiBridge&) = delete;
    AtSpiBridge& operator=(const AtSpiBridge&) = delete;

    void update(Tree tree);

    // What the window's thread and the bridge's share.
    struct Shared;

private:
    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};

// Whether the session has accessibility on; asks the session bus (never starts a service).
bool accessibilityEnabled();

}  // namespace kestrova::access
