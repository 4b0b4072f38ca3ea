// The program on one desktop of the matrix, in the session tests/desktops/run-desktop
// started: text and picture adverts come to rest in the bottom-right corner of the primary
// monitor's work area (the row's dock left out), a click on the body reaches the link
// opener and the close button ends the program with 0. Rows with a compositor check what
// the compositor draws: picom one soft shadow, weston the advert as soon as it rests.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "tests/e2e/E2eSupport.h"
#include "tests/support/TestPictures.h"

namespace kestrova::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kLink = "http://shop.test/desktop?from=popup";

int expected(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::atoi(value) : 0;
}

class Desktop : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KESTROVA_E2E_ENDPOINT", server.endpoint().c_str(), 1);
        server.setPicture(readFile(KESTROVA_SOURCE_PICTURE));
        ASSERT_GT(right, 0) << "run through tests/desktops/run-desktop";
    }
    void TearDown() override {
        if (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    void showText() {
        server.answer(200, R"({"type":0,"title":"On )" + desktop +
                               R"(","context":"Text on every )"
                               R"(desktop","click_url":")" +
                               kLink + R"("})");
        pid = sandbox.start();
    }
    void showPicture() {
        server.answer(200, R"({"type":1,"title":"t","img_url":")" + server.pictureUrl() +
                               R"(","click_url":")" + kLink + R"("})");
        pid = sandbox.start();
    }

    // The program's window once it rests in the corner and stays there, or 0.
    Window restingAdvert() {
        Window advert = 0;
        Geometry last;
        int still = 0;
        waitFor(
            [&] {
                const std::string found =
                    run("xdotool search --pid " + std::to_string(pid) + " 2>/dev/null | head -n1");
                advert = std::strtoul(found.c_str(), nullptr, 10);
                const Geometry g = screen.geometry(advert);
                const bool atRest =
                    advert != 0 && g.viewable && g.x + g.w == right && g.y + g.h == bottom;
                still = atRest && g.y == last.y ? still + 1 : 0;
                last = g;
                return still >= 3;
            },
            10s);
        return still >= 3 ? advert : 0;
    }

    std::string diagnosis() {
        return "log:\n" + readFile(sandbox.log()) + "stderr:\n" +
               readFile(sandbox.dir() / "stderr.txt");
    }

    void click(int x, int y) {
        run("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " click 1");
    }

    const std::string desktop =
        std::getenv("KESTROVA_DESKTOP") ? std::getenv("KESTROVA_DESKTOP") : "";
    const int right = expected("KESTROVA_EXPECT_RIGHT");
    const int bottom = expected("KESTROVA_EXPECT_BOTTOM");
    AdvertServer server;
    Sandbox sandbox;
    Screen screen;
    pid_t pid = -1;
};

// Brightness of a grey pixel.
int grey(std::uint32_t pixel) {
    return static_cast<int>((pixel >> 8) & 0xFF);
}

// The one shadow fades smoothly into the background over its 16 pixels: from the window's
// top edge upwards and from its left edge leftwards the grey only ever lightens, and
// further out lies the background. A second shadow from the compositor shows as a step
// back to darker grey, or as grey beyond the 16 pixels.
using Picom = Desktop;
TEST_F(Picom, TheAdvertHasOneSoftShadow) {
    showText();
    const Window advert = restingAdvert();
    ASSERT_NE(advert, Window{0}) << diagnosis();
    screen.movePointerAway();
    const Geometry g = screen.geometry(advert);
    constexpr int kReach = 40, kShadow = 16;
    const std::vector<std::uint32_t> above = screen.area(g.x + g.w / 2, g.y - kReach, 1, kReach);
    const std::vector<std::uint32_t> left = screen.area(g.x - kReach, g.y + g.h / 2, kReach, 1);
    for (const auto* ray : {&above, &left}) {
        ASSERT_EQ(ray->size(), static_cast<size_t>(kReach));
        const int background = grey(ray->front());
        EXPECT_LT(grey(ray->back()), background - 20) << "no shadow at the window's edge";
        for (int i = 0; i < kReach; ++i) {
            const int distance = kReach - i;
            if (distance > kShadow) {
                EXPECT_EQ(grey((*ray)[i]), background) << "grey " << distance << " pixels out";
            } else if (i > 0) {
                EXPECT_LE(grey((*ray)[i]), grey((*ray)[i - 1]))
                    << "a step " << distance << " pixels out";
            }
        }
    }
    const fs::path artifacts =
        fs::path(std::getenv("KESTROVA_BINARY_DIR") ? std::getenv("KESTROVA_BINARY_DIR") : ".") /
        "artifacts";
    fs::create_directories(artifacts);
    run("import -window root -crop " + std::to_string(g.w + 80) + "x" + std::to_string(g.h + 80) +
        "+" + std::to_string(g.x - 40) + "+" + std::to_string(g.y - 40) + " " +
        (artifacts / "picom-shadow.png").string());
}

// The colour of a pixel of a PNG file (no alpha), or 1 when it cannot be read.
std::uint32_t pixelOf(const fs::path& png, int x, int y) {
    const test::Picture picture = test::readPng(png);
    return x < picture.w && y < picture.h ? picture.at(x, y) & 0xFFFFFF : 1;
}

// Whether two colours (no alpha) differ by at most tolerance in each channel.
bool nearColour(std::uint32_t a, std::uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16}) {
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance)
            return false;
    }
    return true;
}

// Weston's picture of the screen, taken now into dir (earlier ones removed), if it came.
std::optional<fs::path> westonScreenshot(const fs::path& dir) {
    auto isShot = [](const fs::path& p) {
        return p.filename().string().starts_with("wayland-screenshot");
    };
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (isShot(entry.path()))
            fs::remove(entry.path());
    }
    test::runCommand("cd '" + dir.string() + "' && weston-screenshooter 2>&1");
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (isShot(entry.path()))
            return entry.path();
    }
    return std::nullopt;
}

// A window the compositor draws late shows nothing where X says it rests. Weston 10 puts a
// new Xwayland override-redirect surface on an output only in its next repaint of the
// screen, and its first commit schedules none, so the advert is drawn when anything else
// repaints (here the first screenshot asks for one; on a desktop a pointer move or the
// panel's clock). The compositor's own pictures of the screen, asked for one after another
// from the moment the advert rests, must hold the advert's title band within a second.
using Weston = Desktop;
TEST_F(Weston, TheCompositorDrawsTheAdvertOnceItRepaints) {
    showText();
    const Window advert = restingAdvert();
    ASSERT_NE(advert, Window{0}) << diagnosis();
    const auto rested = Clock::now();
    const Geometry g = screen.geometry(advert);
    // Xwayland keeps no picture of the screen; the band's colour is the skin's own.
    const fs::path skin = fs::path(std::getenv("KESTROVA_SOURCE_DIR")) / "ui/skin/float_bg.png";
    const std::uint32_t band = pixelOf(skin, 10, 10);
    std::optional<fs::path> shot;
    const bool seen = waitFor(
        [&] {
            shot = westonScreenshot(sandbox.dir());
            return shot && nearColour(pixelOf(*shot, g.x + 10, g.y + 10), band, 24);
        },
        1s);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - rested).count();
    EXPECT_TRUE(seen) << "the compositor had not drawn the advert a second after it rested";
    if (!seen && shot)
        fs::copy_file(*shot, fs::path(std::getenv("KESTROVA_BINARY_DIR")) / "weston-failed.png",
                      fs::copy_options::overwrite_existing);
    std::printf("weston: the advert was in the compositor's picture %lld ms after it rested\n",
                static_cast<long long>(ms));
}

// Runs after the rows' own checks (gtest keeps the order of definition), which want a
// desktop no earlier program has drawn on.
TEST_F(Desktop, AdvertsRestInTheWorkAreaCornerOpenTheirLinkAndClose) {
    for (const bool picture : {false, true}) {
        SCOPED_TRACE(picture ? "picture advert" : "text advert");
        picture ? showPicture() : showText();
        const Window advert = restingAdvert();
        ASSERT_NE(advert, Window{0})
            << "not at rest in the corner (" << right << ", " << bottom << ")\n"
            << diagnosis();
        const Geometry g = screen.geometry(advert);
        EXPECT_EQ(g.w, picture ? KESTROVA_SOURCE_PICTURE_WIDTH : 320);

        fs::remove(sandbox.dir() / "opened.txt");
        // The middle of the body: weston frames the row's dock like any window, and the
        // frame's resize margin reaches over the advert's lowest rows.
        click(g.x + g.w / 2, g.y + (30 + g.h) / 2);
        EXPECT_TRUE(waitFor([&] { return readFile(sandbox.dir() / "opened.txt") == kLink + "\n"; }))
            << "the click on the body did not reach the link opener";
        click(g.x + g.w - 15, g.y + 15);
        const std::optional<int> status = waitForExit(pid, 5s);
        EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0)
            << "the close button ends the program with 0\n"
            << diagnosis();
        pid = -1;
    }
}

}  // namespace
}  // namespace kestrova::e2e
