// Boundaries of the slide timing and of fitting a picture into the work area.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "ui/AdvertLayout.h"

namespace kestrova {
namespace {

TEST(AdvertLayout, SlideIntervalOverTheTableBoundaries) {
    struct Row {
        int height, interval;
    } rows[] = {
        {0, 10},   {1, 9},    {150, 9},  {151, 8},     {300, 8}, {301, 7},      {1050, 3},
        {1051, 2}, {1200, 2}, {1201, 1}, {INT_MAX, 1}, {-1, 10}, {INT_MIN, 10},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("height " + std::to_string(r.height));
        EXPECT_EQ(slideInterval(r.height), r.interval);
    }
}

TEST(AdvertLayout, FitInsideKeepsProportionsAndLeavesSmallerSizesAlone) {
    struct Row {
        const char* what;
        SIZE size, limit, expected;
    } rows[] = {
        {"taller than wide limit", {3000, 2000}, {1920, 1040}, {1560, 1040}},
        {"small picture", {100, 50}, {1920, 1040}, {100, 50}},
        {"exactly the limit", {1920, 1040}, {1920, 1040}, {1920, 1040}},
        {"too wide only", {4000, 100}, {1920, 1040}, {1920, 48}},
        {"too tall only", {100, 4000}, {1920, 1040}, {26, 1040}},
        {"a sliver stays a pixel", {4096, 1}, {1000, 1000}, {1000, 1}},
        {"no limit known", {3000, 2000}, {0, 0}, {3000, 2000}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        SIZE got = fitInside(r.size, r.limit);
        EXPECT_EQ(got.cx, r.expected.cx);
        EXPECT_EQ(got.cy, r.expected.cy);
        if (r.limit.cx > 0) {
            EXPECT_LE(got.cx, r.limit.cx);
            EXPECT_LE(got.cy, r.limit.cy);
        }
    }
}

}  // namespace
}  // namespace kestrova
