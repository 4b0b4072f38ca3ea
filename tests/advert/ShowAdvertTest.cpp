// The advert flow against a loopback server, on the headless window backend: one row per
// kind of answer, checking what the window shows, whether it closes, whether the display
// time is recorded, what the picture cache holds and the run's line in the log. The cache
// and the settings file lie beside this program, which has a folder of its own.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iterator>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "advert/AdvertClient.h"
#include "advert/DisplayTimeStore.h"
#include "advert/ShowAdvert.h"
#include "log/CLog.h"
#include "platform/ui/UIHeadless.h"
#include "platform/ui/UIMessageCore.h"
#include "tests/net/LoopbackServers.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/support/Wait.h"
#include "tests/ui/DlgTestSupport.h"
#include "util/Folders.h"
#include "util/TextConvert.h"

namespace kestrova::uitest {
namespace {

namespace fs = std::filesystem;
using test::LoopbackHttpServer;

constexpr int kPictureWidth = 64;
constexpr int kPictureHeight = 48;
const std::string kStalePicture = "a picture from an earlier run";
const std::string kTitle = "Spring sale";
const std::string kText = "Half price on every licence";
const std::string kLink = "http://shop.test/spring";

// The number of files left in the cache: the stale picture, another file and the ".temp"
// of a killed run stay untouched; a picture advert's download empties it first.
enum Cache { kEmptied = 0, kNewPicture = 1, kUntouched = 3 };
enum class Page { kNone = -1, kText = 0, kPicture = 1 };
constexpr int kRequestThrows = -1;  // a status that makes the request itself throw

struct Row {
    const char* what;
    int status;
    std::string body;
    Page page;
    Cache cache;
    std::string logLine;
    bool fullScreen = false;  // the user works in a full-screen window: nothing is asked
};

class ShowAdvertTest : public DlgTest {
protected:
    void SetUp() override {
        DlgTest::SetUp();
        // The machine's own desktop must not decide: no session bus, settings in memory.
        unsetenv("DBUS_SESSION_BUS_ADDRESS");
        unsetenv("XDG_RUNTIME_DIR");
        setenv("GSETTINGS_BACKEND", "memory", 1);
        picture = makePng(kPictureWidth, kPictureHeight, [](cairo_t* cr) { cairo_paint(cr); });
        http.server().Get("/advert", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex);
            target = req.target;
            res.status = status;
            res.set_content(body, "application/json");
        });
        http.server().Get("/pic.png", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(picture.begin(), picture.end()), "image/png");
        });
        http.start();
    }

    void TearDown() override {
        CLog::GetInstance()->Stop();
        DlgTest::TearDown();
        fs::remove_all(cacheFolder.parent_path());
        fs::remove_all(config);
    }

    // Fresh state for a row: an old display time, a stale picture, an empty log.
    void prepare(const Row& row) {
        std::lock_guard lock(mutex);
        status = row.status;
        body = row.body;
        test::writeFile(config, "[CONFIG]\nlast_adv_time=42\n");
        fs::create_directories(cacheFolder);
        test::writeFile(cacheFolder / "advertising.png", kStalePicture);
        test::writeFile(cacheFolder / "earlier-picture.jpg", "any other file");
        test::writeFile(cacheFolder / "advertising.png.temp", "the start of a killed download");
        fs::remove_all(logFolder.path());
        CLog::GetInstance()->Init(logFolder.path().c_str());
    }

    // True when the flow asked the window to close: the loop then ends by itself.
    bool closes() {
        for (int i = 0; i < 20 && IsWindow(hwnd); ++i) {
            ui::pumpMessages(0);
        }
        const bool closed = !IsWindow(hwnd);
        if (closed && ui::quitPending()) {
            ui::runMessageLoop();
        }
        return closed;
    }

    std::string lastTarget() {
        std::lock_guard lock(mutex);
        return target;
    }

    std::wstring pageTitle() {
        CControlUI* title = dlg->pm().FindControl(L"title");
        return title ? std::wstring(title->GetText().GetData()) : L"";
    }

    LoopbackHttpServer http;
    test::TempDir logFolder;
    Bytes picture;
    std::mutex mutex;
    int status = 200;
    std::string body;
    std::string target;  // of the last request
    const fs::path cacheFolder = fs::path(wideToAnsi(getExeDir())) / "cache" / "image";
    const fs::path config = wideToAnsi(getConfigPath());
};

TEST_F(ShowAdvertTest, EachAnswerShowsOrClosesRecordsAndLogsAsItShould) {
    const std::string text = R"("title":")" + kTitle + R"(","context":")" + kText +
                             R"(","click_url":")" + kLink + R"(")";
    const std::string pictureAdvert = R"("title":")" + kTitle + R"(","img_url":")" +
                                      http.url("/pic.png") + R"(","click_url":")" + kLink + R"(")";
    const Row rows[] = {
        {"not found", 404, "{" + text + "}", Page::kNone, kUntouched,
         "advert: request code=404, nothing shown"},
        {"exception in the request", kRequestThrows, "{" + text + "}", Page::kNone, kUntouched,
         "advert: exception std::runtime_error, closed"},
        {"not JSON", 200, "<html>", Page::kNone, kUntouched, "advert: answer unreadable"},
        {"array root", 200, "[{\"type\":0}]", Page::kNone, kUntouched, "advert: answer unreadable"},
        {"member of wrong type", 200, R"({"type":0,"context":["x"]})", Page::kNone, kUntouched,
         "advert: answer unreadable"},
        {"type 0 without context", 200, R"({"type":0,"title":"t"})", Page::kNone, kUntouched,
         "advert: text advert without text, nothing shown"},
        {"type 0 with context", 200, R"({"type":0,)" + text + "}", Page::kText, kUntouched,
         "advert: text advert shown"},
        {"type 1 without img_url", 200, R"({"type":1,"context":"x"})", Page::kNone, kUntouched,
         "advert: picture advert without picture, nothing shown"},
        {"picture not found", 200, R"({"type":1,"img_url":")" + http.url("/missing.png") + "\"}",
         Page::kNone, kEmptied, "advert: picture download code=404, nothing shown"},
        {"picture", 200, R"({"type":1,)" + pictureAdvert + "}", Page::kPicture, kNewPicture,
         "advert: picture advert shown"},
        {"type 2", 200, R"({"type":2,)" + text + "}", Page::kNone, kUntouched,
         "advert: type 2, nothing shown"},
        {"null", 200, "null", Page::kNone, kUntouched,
         "advert: text advert without text, nothing shown"},
        {"type true", 200, R"({"type":true,)" + pictureAdvert + "}", Page::kPicture, kNewPicture,
         "advert: picture advert shown"},
        {"type 1.7", 200, R"({"type":1.7,)" + pictureAdvert + "}", Page::kPicture, kNewPicture,
         "advert: picture advert shown"},
        {"type as text", 200, R"({"type":"1",)" + pictureAdvert + "}", Page::kNone, kUntouched,
         "advert: answer unreadable"},
        {"full-screen window", 200, R"({"type":0,)" + text + "}", Page::kNone, kUntouched,
         "advert: full-screen window, nothing shown", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        prepare(row);
        ASSERT_NE(create(), nullptr);
        dynamic_cast<ui::HeadlessBackend&>(ui::backend()).setFullScreenActive(row.fullScreen);
        const std::wstring layoutTitle = pageTitle();
        const std::wstring endpoint = ansiToWide(http.url("/advert"));
        int requests = 0;
        showAdvert(*dlg, [&](std::string& answer) {
            ++requests;
            if (row.status == kRequestThrows)
                throw std::runtime_error("the request failed");
            return AdvertClient::GetInstance()->FetchAdvert(answer, endpoint);
        });

        EXPECT_EQ(requests, row.fullScreen ? 0 : 1);
        const bool shown = row.page != Page::kNone;
        if (shown) {
            EXPECT_TRUE(state()->visible) << "set sliding";
            auto* tab = dynamic_cast<CTabLayoutUI*>(dlg->pm().FindControl(L"main_tab"));
            ASSERT_NE(tab, nullptr);
            EXPECT_EQ(static_cast<Page>(tab->GetCurSel()), row.page);
            EXPECT_EQ(pageTitle(), ansiToWide(kTitle));
        } else {
            EXPECT_FALSE(state()->visible);
            EXPECT_EQ(pageTitle(), layoutTitle) << "nothing may be filled in";
        }
        if (row.page == Page::kPicture) {
            EXPECT_EQ(dlg->width(), kPictureWidth);
            EXPECT_EQ(dlg->height(), kPictureHeight);
        }
        EXPECT_EQ(readLastAdvTime(getConfigPath()) != L"42", shown) << "display time";
        EXPECT_EQ(closes(), !shown);

        const std::string cached = row.cache == kEmptied ? ""
                                   : row.cache == kNewPicture
                                       ? std::string(picture.begin(), picture.end())
                                       : kStalePicture;
        EXPECT_EQ(test::readFile(cacheFolder / "advertising.png"), cached);
        EXPECT_EQ(std::distance(fs::directory_iterator(cacheFolder), fs::directory_iterator()),
                  row.cache);

        CLog::GetInstance()->Stop();
        const std::string log = test::readFile(logFolder.path() / "RazOdezerivozi.log");
        const std::size_t at = log.find(" advert: ");
        ASSERT_NE(at, std::string::npos);
        EXPECT_EQ(log.substr(at + 1), row.logLine + "\n") << "one outcome line, the last";
        for (const std::string& secret : {kTitle, kText, kLink}) {
            EXPECT_EQ(log.find(secret), std::string::npos) << secret << " in\n" << log;
        }
        if (IsWindow(hwnd)) {
            DestroyWindow(hwnd);
            ui::runMessageLoop();
        }
    }
}

// A settings file that is no regular file holds no display time and is never written
// through: the request goes out at once with time=0, and nothing outside the program's
// folder is created or changed. A FIFO that blocked the flow would be opened for writing
// by the watchdog after a few seconds, which lets the flow go on and fails the row.
TEST_F(ShowAdvertTest, ASettingsFileThatIsNoRegularFileNeitherDelaysNorRedirectsTheFlow) {
    test::TempDir elsewhere;
    const fs::path other = elsewhere / "other.ini";
    const fs::path missing = elsewhere / "missing.ini";
    const struct {
        const char* what;
        std::function<void()> plant;
        bool replaced;  // a regular file holding the new time takes its place
    } rows[] = {
        {"FIFO", [&] { ::mkfifo(config.c_str(), 0600); }, true},
        {"dangling link", [&] { fs::create_symlink(missing, config); }, true},
        {"link to another file", [&] { fs::create_symlink(other, config); }, true},
        {"folder",
         [&] {
             fs::create_directory(config);
             test::writeFile(config / "inside", "kept");
         },
         false},
    };
    const std::string otherContent = "[CONFIG]\nlast_adv_time=99\n";
    const std::string text = R"({"type":0,"title":"t","context":"c"})";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        prepare(Row{row.what, 200, text, Page::kText, kUntouched, ""});
        fs::remove(config);
        test::writeFile(other, otherContent);
        row.plant();
        std::atomic<bool> done{false}, delayed{false};
        std::thread watchdog([&] {
            if (!test::waitFor([&] { return done.load(); }, std::chrono::seconds(3))) {
                delayed = true;
                while (!done) {
                    ::close(::open(config.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                }
            }
        });
        ASSERT_NE(create(), nullptr);
        const std::wstring endpoint = ansiToWide(http.url("/advert"));
        showAdvert(*dlg, [&](std::string& answer) {
            return AdvertClient::GetInstance()->FetchAdvert(answer, endpoint);
        });
        done = true;
        watchdog.join();

        EXPECT_FALSE(delayed) << "the flow waited on the settings file";
        EXPECT_EQ(lastTarget(), "/advert?time=0");
        EXPECT_TRUE(state()->visible) << "shown";
        if (row.replaced) {
            // Read only once it is known to be a regular file: a FIFO would block the test.
            const bool regular = fs::is_regular_file(fs::symlink_status(config));
            EXPECT_TRUE(regular);
            EXPECT_TRUE(regular && test::readFile(config).starts_with("[CONFIG]\nlast_adv_time=1"))
                << "the display time";
        } else {
            EXPECT_EQ(test::readFile(config / "inside"), "kept");
        }
        EXPECT_EQ(test::readFile(other), otherContent);
        EXPECT_FALSE(fs::exists(missing));
        EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere.path()), fs::directory_iterator()),
                  1);
        const std::string temporary = config.string() + ".new" + std::to_string(::getpid());
        EXPECT_FALSE(fs::exists(temporary));
        DestroyWindow(hwnd);
        ui::runMessageLoop();
        fs::remove_all(config);
    }
}

}  // namespace
}  // namespace kestrova::uitest
