// The file download: the body streams into a ".temp" sibling of the target, which is moved
// onto the target only after a complete 200 transfer.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "net/ClusterCurl.h"
#include "net/DebugTrace.h"
#include "net/RenameRetry.h"
#include "util/BoundedFormat.h"

namespace {

// What fileDataWriter is handed: the open ".temp" file and the bytes still allowed.
struct FileBody {
    std::FILE* file;
    std::int64_t limit;
    std::int64_t received;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

void removeIfExists(const std::string& path) {
    if (::access(path.c_str(), F_OK) == 0) {
        std::remove(path.c_str());
    }
}

// A ".temp" left as a symbolic link would redirect the write; the stale entry has just
// been removed, so a link here is somebody else's and the open fails instead.
UniqueFile openTemp(const std::string& path) {
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return UniqueFile(file);
}

CurlResult traced(CurlResult result, std::string message) {
    debugTrace("%s", message.c_str());
    result.message = std::move(message);
    return result;
}

}  // namespace

std::size_t ClusterCurl::fileDataWriter(char* data, std::size_t size, std::size_t count,
                                        void* user) {
    auto* sink = static_cast<FileBody*>(user);
    const std::size_t bytes = size * count;
    if (static_cast<std::int64_t>(bytes) > sink->limit - sink->received) {
        debugTrace("ClusterCurl fileDataWriter file over %lld bytes \n",
                   static_cast<long long>(sink->limit));
        return 0;
    }
    sink->received += static_cast<std::int64_t>(bytes);
    return std::fwrite(data, size, count, sink->file) * size;
}

CURLcode ClusterCurl::setDownloadOptions(const std::string& url, void* sink) {
    CURLcode code = setGetOptions(url, &ClusterCurl::fileDataWriter, sink);
    if (code == CURLE_OK) {
        code = setProgressOptions();
    }
    if (code == CURLE_OK) {
        code = curl_easy_setopt(m_pCurl, CURLOPT_MAXFILESIZE_LARGE, curl_off_t{m_nMaxFileSize});
    }
    return code;
}

CurlResult ClusterCurl::downloadFile(const std::string& url, const std::string& saveDir,
                                     const std::string& fileName) {
    if (m_pCurl == nullptr) {
        return noHandle();
    }
    m_dLastProgress = 0.0;
    CurlResult result{-1, {}};
    UniqueFile file;
    try {
        if (::access(saveDir.c_str(), F_OK) != 0) {
            return traced(result,
                          kestrova::boundedFormat("save dir=%s is not exsit！", saveDir.c_str()));
        }
        const std::string target = saveDir + "/" + fileName;
        const std::string temp = target + ".temp";
        // The old picture goes first, whatever the outcome of the new transfer.
        removeIfExists(target);
        removeIfExists(temp);

        file = openTemp(temp);
        if (!file) {
            return traced(result, kestrova::boundedFormat("downloadFile open file error(%d), %s",
                                                          errno, target.c_str()));
        }
        FileBody sink{file.get(), m_nMaxFileSize, 0};
        const CURLcode options = setDownloadOptions(url, &sink);
        if (options != CURLE_OK) {
            file.reset();
            std::remove(temp.c_str());
            return optionFailure(options);
        }
        const CURLcode performed = curl_easy_perform(m_pCurl);
        // The last buffered bytes reach the disk only here; losing them loses the picture.
        const bool closed = std::fclose(file.release()) == 0;
        const int closeError = errno;
        result = checkResponse(performed);
        if (result.code == 200 && !closed) {
            result = traced(CurlResult{-1, {}},
                            kestrova::boundedFormat("downloadFile close file error(%d), %s",
                                                    closeError, target.c_str()));
        } else if (result.code != 200) {
            debugTrace("%s", result.message.c_str());
        }
        if (result.code != 200) {
            removeIfExists(temp);
            return result;
        }
        return kestrova::moveTempFile(temp, target, m_pStopFlag, result);
    } catch (...) {
        file.reset();
        return traced(result, kestrova::boundedFormat("downloadFile api exception(%d)\n", errno));
    }
}
