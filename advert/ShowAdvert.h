// The advert flow behind CFloatDlg::ShowAdvert, with its one question to the server as a
// parameter: the product asks the compiled-in endpoint; tests aim the request at a
// loopback server, or make it fail.
//
//   kestrova::showAdvert(*dlg, [&](std::string& body) {
//       return AdvertClient::GetInstance()->FetchAdvert(body, testEndpoint);
//   });
#pragma once

#include <functional>
#include <string>

class CFloatDlg;

namespace kestrova {

// Asks the server once: true with the answer's body when it answered with status 200.
using AdvertRequest = std::function<bool(std::string& body)>;

// Runs the flow on window: the request, the decision, and either the advert set sliding
// with its display time recorded or window.Close(1). An exception anywhere, the request
// included, ends in the close. Every run leaves exactly one outcome line in the log.
void showAdvert(CFloatDlg& window, const AdvertRequest& request);

}  // namespace kestrova
