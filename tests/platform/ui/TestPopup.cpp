// The test pop-up's message map.
#include "TestPopup.h"

namespace kestrova::uitest {

std::vector<std::string>& popupEvents() {
    static std::vector<std::string> events;
    return events;
}

DUI_BEGIN_MESSAGE_MAP(PopupWindow, WindowImplBase)
DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, PopupWindow::OnClick)
DUI_END_MESSAGE_MAP()

}  // namespace kestrova::uitest
