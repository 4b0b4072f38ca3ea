// The advert flow: the user's quiet hours, one request, one decision, and either an
// advert sliding in with its display time recorded or the window closed. Every run leaves exactly
// one outcome line in the log; the advert's own text, title and link never go there.
#include "advert/ShowAdvert.h"

#include <exception>
#include <optional>
#include <string>

#include "advert/AdvertClient.h"
#include "advert/DisplayTimeStore.h"
#include "advert/ParseAdvert.h"
#include "log/LogLine.h"
#include "net/ClusterCurl.h"
#include "platform/quiet/DoNotDisturb.h"
#include "platform/terminate/TerminationRequest.h"
#include "ui/FloatDlg.h"
#include "util/BoundedFormat.h"
#include "util/ExceptionName.h"
#include "util/Folders.h"
#include "util/ProgramFolders.h"
#include "util/TextConvert.h"

namespace {

constexpr int kTextAdvert = 0;
constexpr int kPictureAdvert = 1;
constexpr wchar_t kPictureName[] = L"advertising.png";

// What one branch of the flow ended in.
struct Outcome {
    bool shown = false;
    std::string line;
};

Outcome nothingShown(std::string why) {
    return Outcome{false, "advert: " + std::move(why) + ", nothing shown"};
}

// The display time is written only once the advert is on its way in, so a run that shows
// nothing reports the previous display to the server again next time.
Outcome showTextBranch(CFloatDlg& dlg, const AdvertItem& advert) {
    const std::wstring link = ansiToWide(advert.click_url);
    const std::wstring text = ansiToWide(advert.context);
    const std::wstring title = ansiToWide(advert.title);
    dlg.ShowTextAdvert(title.c_str(), text.c_str(), link.c_str());
    dlg.StartSlideIn();
    writeLastAdvTime(getConfigPath());
    return Outcome{true, "advert: text advert shown"};
}

Outcome showPictureBranch(CFloatDlg& dlg, const AdvertItem& advert) {
    // The cache holds the current picture only: the previous one goes before the download
    // starts, so a failed download leaves none. A folder that cannot be made shows up as a
    // failed download.
    const std::wstring cacheFolder = kestrova::programFolders().cacheFolder;
    deleteDirTree(cacheFolder);
    createDirChain(cacheFolder);

    ClusterCurl curl;
    // A termination signal stops the download, which then leaves no ".temp" behind.
    curl.setStopFlag(&kestrova::terminationRequested());
    const CurlResult result =
        curl.downloadFile(advert.img_url, wideToAnsi(cacheFolder), wideToAnsi(kPictureName));
    if (result.code != 200) {
        return nothingShown("picture download code=" + std::to_string(result.code));
    }
    const std::wstring picture = cacheFolder + L"/" + kPictureName;
    const std::wstring link = ansiToWide(advert.click_url);
    const std::wstring title = ansiToWide(advert.title);
    dlg.ShowImageAdvert(title.c_str(), picture.c_str(), link.c_str());
    dlg.StartSlideIn();
    writeLastAdvTime(getConfigPath());
    return Outcome{true, "advert: picture advert shown"};
}

// Whether to ask at all: while the user watches something full-screen or has asked the
// desktop for quiet, the server is not asked, so it offers the same advert next time.
std::optional<Outcome> quietHours() {
    if (kestrova::fullScreenWindowActive())
        return nothingShown("full-screen window");
    if (kestrova::doNotDisturb())
        return nothingShown("do not disturb");
    return std::nullopt;
}

// The request and what follows it, up to the outcome; may throw.
Outcome requestAndShow(CFloatDlg& dlg, const kestrova::AdvertRequest& request) {
    if (std::optional<Outcome> quiet = quietHours())
        return *quiet;
    std::string body;
    if (!request(body)) {
        return nothingShown(kestrova::boundedFormat(
            "request code=%d", static_cast<int>(AdvertClient::GetInstance()->GetLastCode())));
    }
    AdvertItem advert;
    if (!parseAdvert(body, advert)) {
        return Outcome{false, "advert: answer unreadable"};
    }
    if (advert.type == kTextAdvert) {
        return advert.context.empty() ? nothingShown("text advert without text")
                                      : showTextBranch(dlg, advert);
    }
    if (advert.type == kPictureAdvert) {
        return advert.img_url.empty() ? nothingShown("picture advert without picture")
                                      : showPictureBranch(dlg, advert);
    }
    return nothingShown("type " + std::to_string(advert.type));
}

}  // namespace

namespace kestrova {

void showAdvert(CFloatDlg& window, const AdvertRequest& request) {
    // Anything thrown, in the request too, ends in the close, whatever was already done.
    Outcome outcome;
    try {
        outcome = requestAndShow(window, request);
    } catch (const std::exception& error) {
        outcome = Outcome{false, "advert: exception " + exceptionName(error) + ", closed"};
    } catch (...) {
        outcome = Outcome{false, "advert: exception of unknown type, closed"};
    }
    logLine(outcome.line);
    if (!outcome.shown) {
        window.Close(1);
    }
}

}  // namespace kestrova

void CFloatDlg::ShowAdvert() {
    kestrova::showAdvert(
        *this, [](std::string& body) { return AdvertClient::GetInstance()->FetchAdvert(body); });
}
