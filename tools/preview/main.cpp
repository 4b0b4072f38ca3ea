// kestrova-advert-preview: renders the pop-up for an advert file to a PNG, without a
// display and without the network, so that vendors can check an advert before serving it.
//
//   kestrova-advert-preview ADVERT.json OUT.png [--scale N]
//
// Exit codes: 0 written; 1 the image could not be rendered or written; 2 wrong usage;
// 3 the advert is not fit to serve (the pop-up would show nothing for it, or an empty page
// where its picture should be).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/preview/PreviewAdvert.h"
#include "tools/preview/PreviewRender.h"
#include "util/Locale.h"

namespace {

using namespace kestrova::preview;

constexpr int kExitWriteFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitBadAdvert = 3;

constexpr std::string_view kUsage =
    "usage: kestrova-advert-preview ADVERT.json OUT.png [--scale N]\n"
    "  ADVERT.json  the advert server's answer: \"title\", \"type\" (0 text, 1 picture),\n"
    "               \"context\" (text), \"img_url\" (picture: a file relative to ADVERT.json\n"
    "               or a file:// URL), \"click_url\"\n"
    "  OUT.png      the pop-up at rest, laid out for a 1920 x 1080 screen with a 40-pixel panel\n"
    "  --scale N    N times the pixels (1 to 4), as on a screen of that scale\n";

struct Options {
    std::string advertFile;
    std::string outFile;
    int scale = 1;
    bool help = false;
};

std::optional<int> parseScale(std::string_view text) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '0' + kMaxScale)
        return std::nullopt;
    return text[0] - '0';
}

std::optional<Options> parseOptions(const std::vector<std::string_view>& args, std::string& error) {
    Options options;
    std::vector<std::string_view> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            options.help = true;
        } else if (args[i] == "--scale") {
            std::optional<int> scale = i + 1 < args.size() ? parseScale(args[++i]) : std::nullopt;
            if (!scale) {
                error = "--scale takes a whole number from 1 to " + std::to_string(kMaxScale);
                return std::nullopt;
            }
            options.scale = *scale;
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            error = "unknown option " + std::string(args[i]);
            return std::nullopt;
        } else {
            positional.push_back(args[i]);
        }
    }
    if (options.help)
        return options;
    if (positional.size() != 2) {
        error = "expected an advert file and an output file";
        return std::nullopt;
    }
    options.advertFile = positional[0];
    options.outFile = positional[1];
    return options;
}

// Written beside the target and renamed over it, so a failed write never leaves a
// truncated PNG behind (nor destroys the previous one).
bool writeFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(temp.data());
    if (fd < 0) {
        error = "cannot create a file beside " + path;
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    // mkstemp's 0600 would make the image private; an image is ordinary output.
    bool ok = done == bytes.size() && fchmod(fd, 0644) == 0 && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    unlink(temp.c_str());
    error = "cannot write " + path;
    return false;
}

int fail(int code, const std::string& message) {
    std::cerr << "kestrova-advert-preview: " << message << '\n';
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    // The pop-up's own locale rule: its text passes through the locale's encoding.
    kestrova::adoptProcessLocale();
    std::string error;
    std::optional<Options> options =
        parseOptions(std::vector<std::string_view>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "kestrova-advert-preview: " << error << '\n' << kUsage;
        return kExitUsage;
    }
    if (options->help) {
        std::cout << kUsage;
        return 0;
    }

    PreviewLoad load = loadAdvertFile(options->advertFile);
    if (!load.advert)
        return fail(kExitBadAdvert, load.error);
    PreviewImage image = renderAdvert(*load.advert, options->scale, kNominalScreen);
    if (!image.error.empty())
        return fail(kExitWriteFailed, image.error);
    if (!writeFileAtomically(options->outFile, image.png, error))
        return fail(kExitWriteFailed, error);
    std::cout << options->outFile << ": " << image.width * options->scale << " x "
              << image.height * options->scale << " ("
              << (load.advert->kind == AdvertKind::Text ? "text" : "picture") << " advert, "
              << image.width << " x " << image.height << " window)\n";
    return 0;
}
