// Downloads into files against real loopback servers: what is left on disk after every
// kind of outcome, progress notifications and the stop flag.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

#include "net/ClusterCurl.h"
#include "tests/net/LoopbackServers.h"

namespace kestrova::test {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPaced = 400 * 1000;

// Streams size bytes in 1000-byte pieces with short pauses, announcing the length or not
// (only a stream without a length is ended with done()).
void pacedContent(httplib::Response& response, std::size_t size, bool announced) {
    auto provider = [size, announced](std::size_t offset, httplib::DataSink& sink) {
        const std::string piece(std::min<std::size_t>(1000, size - offset), 'p');
        sink.write(piece.data(), piece.size());
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        if (!announced && offset + piece.size() == size) {
            sink.done();
        }
        return true;
    };
    if (announced) {
        response.set_content_provider(
            size, "image/png",
            [provider](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                return provider(offset, sink);
            });
    } else {
        response.set_chunked_content_provider("image/png", provider);
    }
}

struct Notification {
    double total;
    double received;
};

class RecordingSink : public IProgressSink {
public:
    void onProgress(std::int32_t kind, std::int32_t cookie, double total,
                    double received) override {
        EXPECT_EQ(kind, 1);
        EXPECT_EQ(cookie, 77);
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
    void SetUp() override {
        http.server().Get("/picture.png", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string("\x89PNG\r\n\x1a\n\0body", 13), "image/png");
        });
        http.server().Get("/missing.png", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("not here", "text/plain");
        });
        http.server().Get("/paced", [](const httplib::Request&, httplib::Response& response) {
            pacedContent(response, kPaced, true);
        });
        http.server().Get("/paced-chunked",
                          [](const httplib::Request&, httplib::Response& response) {
                              pacedContent(response, kPaced, false);
                          });
        http.server().Get(
            R"(/chunked/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
                const std::size_t size = std::stoul(request.matches[1]);
                response.set_chunked_content_provider("image/png", [size](std::size_t offset,
                                                                          httplib::DataSink& sink) {
                    const std::string piece(std::min<std::size_t>(256 * 1024, size - offset), 'c');
                    sink.write(piece.data(), piece.size());
                    if (offset + piece.size() == size) {
                        sink.done();
                    }
                    return true;
                });
            });
        http.start();
    }

    CurlResult download(ClusterCurl& curl, const std::string& path) {
        StderrCapture quiet;
        return curl.downloadFile(http.url(path), dir.path().string(), "advertising.png");
    }
    CurlResult download(const std::string& path) {
        ClusterCurl curl;
        return download(curl, path);
    }

    fs::path target() const { return dir.path() / "advertising.png"; }
    fs::path temp() const { return dir.path() / "advertising.png.temp"; }

    LoopbackHttpServer http;
    TempDir dir;
};

TEST_F(DownloadFileTest, SuccessLeavesTheTargetAndNoTemporaryFile) {
    writeFile(target(), "previous picture");
    const CurlResult result = download("/picture.png");
    EXPECT_EQ(result.code, 200);
    EXPECT_EQ(result.message, "No error");
    EXPECT_EQ(readFile(target()), std::string("\x89PNG\r\n\x1a\n\0body", 13));
    EXPECT_FALSE(fs::exists(temp()));
}

TEST_F(DownloadFileTest, MissingSaveFolderTouchesNothing) {
    const std::string missing = (dir.path() / "cache" / "image").string();
    ClusterCurl curl;
    StderrCapture trace;
    const CurlResult result =
        curl.downloadFile(http.url("/picture.png"), missing, "advertising.png");
    EXPECT_EQ(result.code, -1);
    EXPECT_EQ(result.message, "save dir=" + missing + " is not exsit！");
    EXPECT_EQ(trace.text(), "[save dir=" + missing + " is not exsit！]");
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(DownloadFileTest, HttpErrorRemovesTheOldTargetAndAStaleTemporaryFile) {
    writeFile(target(), "previous picture");
    writeFile(temp(), "stale");
    const CurlResult result = download("/missing.png");
    EXPECT_EQ(result.code, 404);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

// A ".temp" left behind as a link must be replaced, not written through.
TEST_F(DownloadFileTest, StaleTemporaryFileIsRemovedBeforeTheTransfer) {
    TempDir elsewhere;
    const fs::path victim = elsewhere.path() / "victim";
    writeFile(victim, "keep me");
    fs::create_symlink(victim, temp());
    EXPECT_EQ(download("/picture.png").code, 200);
    EXPECT_EQ(readFile(victim), "keep me");
    EXPECT_EQ(readFile(target()).size(), 13u);
    EXPECT_FALSE(fs::exists(fs::symlink_status(temp())));
}

TEST_F(DownloadFileTest, TransferCutOffAfterA200LeavesNoFile) {
    RawServer raw("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n\x89PNG partial");
    writeFile(target(), "previous picture");
    ClusterCurl curl;
    StderrCapture quiet;
    const CurlResult result =
        curl.downloadFile(raw.url("/p.png"), dir.path().string(), "advertising.png");
    EXPECT_EQ(result.code, CURLE_PARTIAL_FILE);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(DownloadFileTest, DownloadOverTheSizeLimitLeavesNoFile) {
    const auto limit = static_cast<std::size_t>(ClusterCurl::kDefaultDownloadLimit);
    EXPECT_NE(download("/chunked/" + std::to_string(limit + 1)).code, 200);
    EXPECT_TRUE(fs::is_empty(dir.path()));

    ClusterCurl small;
    small.setDownloadLimit(1000);
    EXPECT_EQ(download(small, "/chunked/1000").code, 200);
    ClusterCurl smaller;
    smaller.setDownloadLimit(999);
    EXPECT_EQ(download(smaller, "/chunked/1000").code, CURLE_WRITE_ERROR);
    EXPECT_EQ(download(smaller, "/paced").code, CURLE_FILESIZE_EXCEEDED);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST_F(DownloadFileTest, KnownSizeNotifiesEveryFurtherPercent) {
    RecordingSink sink;
    ClusterCurl curl;
    curl.setProgressSink(&sink, 77);
    ASSERT_EQ(download(curl, "/paced").code, 200);

    const double step = kPaced * 0.01;
    double last = 0.0;
    int sized = 0;
    for (const Notification& seen : sink.seen) {
        if (seen.total == 0.0) {
            continue;  // before the length is known every call notifies
        }
        ++sized;
        EXPECT_EQ(seen.total, kPaced);
        EXPECT_GE(seen.received - last, step);
        last = seen.received;
    }
    EXPECT_GE(sized, 10);
    EXPECT_LE(sized, 100);
    EXPECT_GT(last, kPaced - step);
}

TEST_F(DownloadFileTest, UnknownSizeNotifiesEveryCall) {
    RecordingSink sink;
    sink.throwing = true;  // an observer failure must not disturb the transfer
    ClusterCurl curl;
    curl.setProgressSink(&sink, 77);
    ASSERT_EQ(download(curl, "/paced-chunked").code, 200);
    ASSERT_FALSE(sink.seen.empty());
    for (const Notification& seen : sink.seen) {
        EXPECT_EQ(seen.total, 0.0);
    }
    EXPECT_EQ(sink.seen.back().received, kPaced);
    EXPECT_EQ(fs::file_size(target()), kPaced);
}

TEST_F(DownloadFileTest, StopFlagSilencesProgressAndLeavesTheFileUnmoved) {
    RecordingSink sink;
    std::atomic<bool> stop{true};
    ClusterCurl curl;
    curl.setProgressSink(&sink, 77);
    curl.setStopFlag(&stop);
    const CurlResult result = download(curl, "/picture.png");
    EXPECT_NE(result.code, 200);
    EXPECT_TRUE(sink.seen.empty());
    EXPECT_FALSE(fs::exists(target()));
    EXPECT_EQ(fs::file_size(temp()), 13u);
}

// A target that cannot be removed (here a folder with content) defeats every move.
TEST_F(DownloadFileTest, PersistentRenameFailureGivesUpAndKeepsTheTemporaryFile) {
    fs::create_directories(target() / "occupied");
    ClusterCurl curl;
    StderrCapture trace;
    const CurlResult result =
        curl.downloadFile(http.url("/picture.png"), dir.path().string(), "advertising.png");
    EXPECT_EQ(result.code, -1);
    EXPECT_EQ(result.message, "rename error lasterror=[21]");
    EXPECT_EQ(trace.text(), "[rename error lasterror=[21]]");
    EXPECT_EQ(fs::file_size(temp()), 13u);
}

}  // namespace
}  // namespace kestrova::test
