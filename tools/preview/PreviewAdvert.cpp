// The preview's reading of an advert file. The decisions mirror the pop-up's flow so that
// a file that previews is a file the pop-up shows.
#include "tools/preview/PreviewAdvert.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <span>
#include <system_error>

#include "advert/ParseAdvert.h"
#include "net/ClusterCurl.h"
#include "platform/ui/UIRender.h"
#include "util/TextConvert.h"

namespace kestrova::preview {
namespace {

static_assert(kMaxAdvertFileBytes == ClusterCurl::kDefaultBodyLimit,
              "an advert file is limited like the answer it stands for");

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Percent escapes of a URL path; a broken escape or an escaped NUL makes it unusable.
std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        int low = high >= 0 ? hexValue(text[i + 2]) : -1;
        if (low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

PictureLocation fileUrlPath(std::string_view url) {
    std::string_view rest = url.substr(std::string_view("file://").size());
    std::size_t slash = rest.find('/');
    std::string_view host = rest.substr(0, slash);
    bool local = host.empty() || (host.size() == 9 && startsWithNoCase(host, "localhost"));
    if (slash == std::string_view::npos || !local) {
        return {std::nullopt, "img_url \"" + std::string(url) +
                                  "\": a file:// URL must name a local absolute path"};
    }
    std::optional<std::string> path = percentDecode(rest.substr(slash));
    if (!path)
        return {std::nullopt, "img_url \"" + std::string(url) + "\": broken percent escape"};
    return {std::filesystem::path(*path).lexically_normal(), {}};
}

// What the pop-up would do with a downloaded file: the download's size limit, then the
// window's own loader (the same formats, limits and budgets).
std::string checkPicture(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return "picture " + path.string() + ": no such file";
    std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > static_cast<std::uintmax_t>(ClusterCurl::kDefaultDownloadLimit))
        return "picture " + path.string() + ": larger than the pop-up downloads (32 MiB)";
    ui::DecodeResult loaded = ui::loadPictureFile(path.string());
    if (!loaded.image)
        return "picture " + path.string() + ": " + loaded.error;
    return {};
}

bool readAdvertFile(const std::filesystem::path& file, std::string& body, std::string& error) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        error = file.string() + ": no such file";
        return false;
    }
    if (std::filesystem::file_size(file, ec) > kMaxAdvertFileBytes) {
        error = file.string() + ": larger than the pop-up accepts (1 MiB)";
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        error = file.string() + ": cannot be read";
        return false;
    }
    return true;
}

}  // namespace

PictureLocation resolvePicture(std::string_view imgUrl, const std::filesystem::path& base) {
    // A JSON string may hold an escaped NUL, which would silently cut the path short.
    if (imgUrl.find('\0') != std::string_view::npos)
        return {std::nullopt, "img_url holds a NUL character"};
    if (startsWithNoCase(imgUrl, "file://"))
        return fileUrlPath(imgUrl);
    if (imgUrl.find("://") != std::string_view::npos) {
        return {std::nullopt, "img_url \"" + std::string(imgUrl) +
                                  "\": the preview does not download; name a local file "
                                  "(relative to the advert file, or a file:// URL)"};
    }
    // Made absolute: the window reads a relative picture name from its skin, not from disk.
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(base / imgUrl, ec);
    if (ec)
        return {std::nullopt, "img_url \"" + std::string(imgUrl) + "\": " + ec.message()};
    return {path.lexically_normal(), {}};
}

PreviewLoad loadAdvertFile(const std::filesystem::path& file) {
    std::string body, error;
    if (!readAdvertFile(file, body, error))
        return {std::nullopt, error};

    AdvertItem item;
    bool parsed = false;
    try {
        parsed = parseAdvert(body, item);
    } catch (const std::exception& e) {
        return {std::nullopt, file.string() + ": " + e.what()};
    }
    if (!parsed) {
        return {std::nullopt, file.string() +
                                  ": not an advert answer (a JSON object whose members have "
                                  "the wrong types, or not JSON at all)"};
    }

    PreviewAdvert advert;
    advert.title = ansiToWide(item.title);
    advert.link = ansiToWide(item.click_url);
    if (item.type == 0) {
        if (item.context.empty())
            return {std::nullopt, file.string() +
                                      ": a text advert (type 0) without \"context\" "
                                      "is not shown"};
        advert.kind = AdvertKind::Text;
        advert.text = ansiToWide(item.context);
        return {advert, {}};
    }
    if (item.type != 1) {
        return {std::nullopt, file.string() + ": type " + std::to_string(item.type) +
                                  " is no advert (0 is text, 1 is a picture)"};
    }
    if (item.img_url.empty())
        return {std::nullopt, file.string() +
                                  ": a picture advert (type 1) without \"img_url\" "
                                  "is not shown"};
    PictureLocation where = resolvePicture(item.img_url, file.parent_path());
    if (!where.path)
        return {std::nullopt, file.string() + ": " + where.error};
    if (std::string bad = checkPicture(*where.path); !bad.empty())
        return {std::nullopt, file.string() + ": " + bad};
    advert.kind = AdvertKind::Picture;
    advert.picture = ansiToWide(where.path->string());
    return {advert, {}};
}

}  // namespace kestrova::preview
