// Layout geometry of the pop-up layout and the box layout's sharing rules.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "platform/ui/UIlib.h"

using namespace kestrova::ui;
using namespace kestrova::uitest;

namespace {

void expectRect(const RECT& rc, LONG l, LONG t, LONG r, LONG b) {
    EXPECT_EQ(rc.left, l);
    EXPECT_EQ(rc.top, t);
    EXPECT_EQ(rc.right, r);
    EXPECT_EQ(rc.bottom, b);
}

TEST(Layout, PopupAt320x180PlacesTitleCloseButtonAndText) {
    Bytes zip = popupSkinZip();
    auto pm = loadPopup(zip);
    ASSERT_EQ(pm->GetClientSize().cx, 320);
    CControlUI* title = pm->FindControl(L"title");
    {
        SCOPED_TRACE("title row");
        expectRect(title->GetParent()->GetPos(), 0, 0, 320, 30);
        expectRect(title->GetPos(), 0, 0, 290, 30);
    }
    {
        SCOPED_TRACE("closeBtn floats 5,5 inside the 30-pixel cell at the row's end");
        expectRect(pm->FindControl(L"closeBtn")->GetPos(), 295, 5, 315, 25);
    }
    {
        SCOPED_TRACE("msgLabel: 280 wide between 20-pixel margins, 20 below the title row");
        expectRect(pm->FindControl(L"msgLabel")->GetPos(), 20, 50, 300, 180);
    }
    expectRect(pm->FindControl(L"main_tab")->GetPos(), 0, 30, 320, 180);
}

TEST(Layout, OnlyTheSelectedTabPageIsLaidOutAndHit) {
    Bytes zip = popupSkinZip();
    auto pm = loadPopup(zip);
    auto* tab = static_cast<CTabLayoutUI*>(pm->FindControl(L"main_tab"));
    CControlUI* msg = pm->FindControl(L"msgLabel");
    CControlUI* img = pm->FindControl(L"imgLabel");
    EXPECT_EQ(tab->GetCurSel(), 0);
    EXPECT_FALSE(tab->GetItemAt(1)->IsVisible());
    EXPECT_EQ(pm->FindControl(POINT{100, 100}), msg);
    expectRect(img->GetPos(), 0, 0, 0, 0);  // never laid out while hidden

    EXPECT_TRUE(tab->SelectItem(1, true, true));
    pm->UpdateLayout();
    EXPECT_FALSE(tab->GetItemAt(0)->IsVisible());
    expectRect(img->GetPos(), 0, 30, 320, 180);
    EXPECT_EQ(pm->FindControl(POINT{100, 100}), img);

    EXPECT_FALSE(tab->SelectItem(2, true, true));
    EXPECT_EQ(tab->GetCurSel(), 1);
}

struct AxisCase {
    const char* name;
    std::vector<AxisHint> hints;
    int available;
    std::vector<int> expected;
};

TEST(Layout, BoxSharingRespectsFixedSizesAndLimits) {
    const AxisCase cases[] = {
        {"fixed then rest", {{30}, {}}, 180, {30, 150}},
        {"margins around a clamped middle", {{20}, {0, 280, 280}, {20}}, 320, {20, 280, 20}},
        {"clamped child leaves the rest to others", {{0, 0, 50}, {}}, 300, {50, 250}},
        {"minimum wins over a small share", {{0, 100}, {}}, 120, {100, 20}},
        {"remainder to the last", {{}, {}, {}}, 10, {3, 3, 4}},
        {"overfull fixed sizes stay", {{200}, {200}}, 300, {200, 200}},
        {"no space", {{}, {}}, 0, {0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(distributeAxis(c.hints, c.available), c.expected);
    }
}

}  // namespace
