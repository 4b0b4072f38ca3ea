// Downloads into files against real loopback servers: what is left on disk after every
// kind of outcome, and progress notifications. The stop flag is the end-to-end tests'
// (a termination signal during a stalled picture download).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <vector>

#include "net/ClusterCurl.h"
#include "tests/net/LoopbackServers.h"
#include "tests/support/TempDir.h"

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPaced = 400 * 1000;
constexpr std::chrono::microseconds kPause(500);
const std::string kPicture("\x89PNG\r\n\x1a\n\0body", 13);

struct Notification {
    double total, received;
};

class RecordingSink : public IProgressSink {
public:
    void onProgress(std::int32_t kind, std::int32_t cookie, double total,
                    double received) override {
        EXPECT_EQ(kind * 100 + cookie, 177);
        seen.push_back({total, received});
        if (throwing) {
            throw std::runtime_error("observer failure");
        }
    }
    std::vector<Notification> seen;
    bool throwing = false;
};

class DownloadFileTest : public ::testing::Test {
protected:
    using Request = const httplib::Request&;
    using Response = httplib::Response&;

    void SetUp() override {
        httplib::Server& server = http.server();
        server.Get("/picture.png", [](Request, Response res) { res.set_content(kPicture, "i/p"); });
        server.Get("/paced",
                   [](Request, Response res) { streamed(res, kPaced, true, 1000, kPause); });
        server.Get("/paced-chunked",
                   [](Request, Response res) { streamed(res, kPaced, false, 1000, kPause); });
        server.Get("/chunked", [](Request, Response res) { streamed(res, 1000, false); });
        server.Get("/cut", [](Request, Response res) { cutOff(res, 5000, "\x89PNG partial"); });
        http.start();
    }

    CurlResult download(ClusterCurl& curl, const std::string& url) {
        StderrCapture quiet;
        return curl.downloadFile(url, dir.path().string(), "advertising.png");
    }

    fs::path target() const { return dir / "advertising.png"; }
    fs::path temp() const { return dir / "advertising.png.temp"; }

    LoopbackHttpServer http;
    TempDir dir;
};

// Each row starts with an old picture and a stale ".temp" planted as a link to a file
// elsewhere, which must be replaced, never written through.
TEST_F(DownloadFileTest, EachOutcomeLeavesTheTargetOrNothing) {
    const struct {
        const char* what;
        std::string url;
        std::int64_t limit;  // 0: the default
        int code;
        std::string kept;  // the target's bytes afterwards; empty: no file at all
    } rows[] = {
        {"success", http.url("/picture.png"), 0, 200, kPicture},
        {"not found", http.url("/missing.png"), 0, 404, ""},
        {"cut off after a 200", http.url("/cut"), 0, CURLE_PARTIAL_FILE, ""},
        {"exactly the limit", http.url("/chunked"), 1000, 200, std::string(1000, 'p')},
        {"over the limit, no length", http.url("/chunked"), 999, CURLE_WRITE_ERROR, ""},
        {"over the limit, announced", http.url("/paced"), 999, CURLE_FILESIZE_EXCEEDED, ""},
    };
    TempDir elsewhere;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        writeFile(elsewhere / "victim", "keep me");
        writeFile(target(), "previous picture");
        fs::create_symlink(elsewhere / "victim", temp());
        ClusterCurl curl;
        if (row.limit != 0) {
            curl.setDownloadLimit(row.limit);
        }
        EXPECT_EQ(download(curl, row.url).code, row.code);
        EXPECT_EQ(readFile(elsewhere / "victim"), "keep me");
        EXPECT_FALSE(fs::exists(fs::symlink_status(temp())));
        EXPECT_EQ(fs::exists(target()), !row.kept.empty());
        EXPECT_EQ(readFile(target()), row.kept);
        fs::remove(target());
    }
}

TEST_F(DownloadFileTest, MissingSaveFolderTouchesNothing) {
    const std::string missing = (dir / "cache/image").string();
    ClusterCurl curl;
    StderrCapture trace;
    const CurlResult result =
        curl.downloadFile(http.url("/picture.png"), missing, "advertising.png");
    EXPECT_EQ(result.code, -1);
    EXPECT_EQ(result.message, "save dir=" + missing + " is not exsit！");
    EXPECT_EQ(trace.text(), "[save dir=" + missing + " is not exsit！]");
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

// With a length, every further percent once it is known; without, every call. An observer
// that throws must not disturb the transfer.
TEST_F(DownloadFileTest, ProgressIsNotifiedPerPercentOrPerCall) {
    const double step = kPaced * 0.01;
    for (const bool announced : {true, false}) {
        SCOPED_TRACE(announced ? "length announced" : "no length");
        RecordingSink sink;
        sink.throwing = !announced;
        ClusterCurl curl;
        curl.setProgressSink(&sink, 77);
        ASSERT_EQ(download(curl, http.url(announced ? "/paced" : "/paced-chunked")).code, 200);
        EXPECT_EQ(fs::file_size(target()), kPaced);
        ASSERT_FALSE(sink.seen.empty());
        double last = 0.0;
        int sized = 0;
        for (const Notification& seen : sink.seen) {
            if (seen.total != 0.0) {
                ++sized;
                EXPECT_EQ(seen.total, kPaced);
                EXPECT_GE(seen.received - last, step);
                last = seen.received;
            }
        }
        if (announced) {
            EXPECT_GE(sized, 10);
            EXPECT_LE(sized, 100);
            EXPECT_GT(last, kPaced - step);
        } else {
            EXPECT_EQ(sized, 0);
            EXPECT_EQ(sink.seen.back().received, kPaced);
        }
    }
}

}  // namespace
}  // namespace kestrova::test
