// What another process does on the display, seen from the driver's own X connection: the
// first window mapped on the root after a start (with where it was mapped), its first
// visible pixel (damage reported on the root inside the window's on-screen part), the
// moment it comes to rest at the bottom of the work area, and how many windows were
// mapped at all. Nothing in the program under test is instrumented.
#pragma once

#include <functional>
#include <map>

struct _XDisplay;

namespace kestrova::bench {

class Child;

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
};

struct Seen {
    long long mapNs = -1, paintNs = -1, restNs = -1;
    Box mapBox;
    int maps = 0;
};

class ScreenWatch {
public:
    ScreenWatch();
    ~ScreenWatch();
    ScreenWatch(const ScreenWatch&) = delete;
    ScreenWatch& operator=(const ScreenWatch&) = delete;

    bool connected() const { return m_display != nullptr; }
    // Without the damage extension no first pixel can be seen; paint stays unknown.
    bool seesPaint() const { return m_damageEvent >= 0; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int workBottom() const { return m_workBottom; }

    // Drops the notifications of earlier runs; call before starting the next program.
    void forget();
    // Follows the child until done(seen) holds, the child ends, or limitMs passes, adding
    // what it does on screen to seen; the child is reaped when it ends.
    void follow(Child& child, Seen& seen, const std::function<bool(const Seen&)>& done,
                int limitMs);

private:
    void handle(Seen& seen, long long at);
    void drain(Seen& seen);
    bool onScreen(const Box& area) const;

    _XDisplay* m_display = nullptr;
    unsigned long m_root = 0;
    int m_width = 0, m_height = 0, m_workBottom = 0;
    int m_damageEvent = -1;
    unsigned long m_damage = 0;
    std::map<unsigned long, Box> m_boxes;
    unsigned long m_target = 0;
};

}  // namespace kestrova::bench
