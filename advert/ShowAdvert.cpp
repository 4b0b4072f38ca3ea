// The advert flow: one request, one decision, and either an advert sliding in with its
// display time recorded or the window closed. Every run leaves exactly one outcome line in
// the log; the advert's own text, title and link never go there.
#include <cxxabi.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <typeinfo>

#include "advert/AdvertClient.h"
#include "advert/DisplayTimeStore.h"
#include "advert/ParseAdvert.h"
#include "log/LogLine.h"
#include "net/ClusterCurl.h"
#include "net/DebugTrace.h"
#include "ui/FloatDlg.h"
#include "util/Folders.h"
#include "util/TextConvert.h"

namespace {

constexpr int kTextAdvert = 0;
constexpr int kPictureAdvert = 1;
constexpr wchar_t kCacheFolder[] = L"/cache/image";
constexpr wchar_t kPictureName[] = L"advertising.png";

// What one branch of the flow ended in.
struct Outcome {
    bool shown = false;
    std::string line;
};

Outcome nothingShown(std::string why) {
    return Outcome{false, "advert: " + std::move(why) + ", nothing shown"};
}

// The dynamic type of a caught exception, readable. Its message is not logged: it may
// quote the answer it failed on.
std::string exceptionName(const std::exception& error) {
    const char* mangled = typeid(error).name();
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> readable(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), &std::free);
    return status == 0 && readable ? readable.get() : mangled;
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
    const std::wstring cacheFolder = getExeDir() + kCacheFolder;
    deleteDirTree(cacheFolder);
    createDirChain(cacheFolder);

    ClusterCurl curl;
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

}  // namespace

void CFloatDlg::ShowAdvert(const std::wstring& endpoint) {
    AdvertClient* client = AdvertClient::GetInstance();
    std::string body;
    if (!client->FetchAdvert(body, endpoint)) {
        kestrova::logLine(kestrova::boundedFormat("advert: request code=%d, nothing shown",
                                                  static_cast<int>(client->GetLastCode())));
        Close(1);
        return;
    }

    // From here on anything thrown ends in the close, whatever was already done.
    bool closeWindow = true;
    Outcome outcome;
    try {
        AdvertItem advert;
        if (!parseAdvert(body, advert)) {
            outcome = Outcome{false, "advert: answer unreadable"};
        } else if (advert.type == kTextAdvert) {
            outcome = advert.context.empty() ? nothingShown("text advert without text")
                                             : showTextBranch(*this, advert);
        } else if (advert.type == kPictureAdvert) {
            outcome = advert.img_url.empty() ? nothingShown("picture advert without picture")
                                             : showPictureBranch(*this, advert);
        } else {
            outcome = nothingShown("type " + std::to_string(advert.type));
        }
        closeWindow = !outcome.shown;
    } catch (const std::exception& error) {
        outcome = Outcome{false, "advert: exception " + exceptionName(error) + ", closed"};
        closeWindow = true;
    } catch (...) {
        outcome = Outcome{false, "advert: exception of unknown type, closed"};
        closeWindow = true;
    }
    kestrova::logLine(outcome.line);
    if (closeWindow) {
        Close(1);
    }
}
