// Layout geometry of the pop-up layout and the box layout's sharing rules.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "platform/ui/UIlib.h"

using namespace kestrova::ui;
using namespace kestrova::uitest;

namespace {

// Only the selected tab page is laid out and hit; a hidden one is never laid out.
TEST(Layout, PopupAt320x180PlacesItsControlsOnTheSelectedTabPage) {
    Bytes zip = popupSkinZip();
    auto pm = loadPopup(zip);
    ASSERT_EQ(pm->GetClientSize().cx, 320);
    auto* tab = static_cast<CTabLayoutUI*>(pm->FindControl(L"main_tab"));
    const struct {
        const wchar_t* name;
        int page;
        const char* rect;
    } cases[] = {
        {L"title", 0, "0,0,290,30"},
        {L"closeBtn", 0, "295,5,315,25"},   // floats 5,5 inside the 30-pixel cell
        {L"msgLabel", 0, "20,50,300,180"},  // 20-pixel margins, 20 below the title row
        {L"main_tab", 0, "0,30,320,180"},
        {L"imgLabel", 0, "0,0,0,0"},
        {L"imgLabel", 1, "0,30,320,180"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(toUtf8(c.name) + " on page " + std::to_string(c.page));
        if (tab->GetCurSel() != c.page) {
            EXPECT_TRUE(tab->SelectItem(c.page, true, true));
            pm->UpdateLayout();
        }
        CControlUI* control = pm->FindControl(c.name);
        EXPECT_EQ(rectText(control->GetPos()), c.rect);
        EXPECT_FALSE(tab->GetItemAt(1 - c.page)->IsVisible());
        EXPECT_EQ(pm->FindControl(POINT{100, 100}),
                  pm->FindControl(c.page ? L"imgLabel" : L"msgLabel"));
    }
    EXPECT_EQ(rectText(pm->FindControl(L"title")->GetParent()->GetPos()), "0,0,320,30");
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
