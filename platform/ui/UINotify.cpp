// Message-map lookup for notifications.
#include "platform/ui/UINotify.h"

#include "platform/ui/UIControl.h"

namespace {
const DUI_MSGMAP_ENTRY kNoEntries[] = {{nullptr, nullptr, nullptr}};
}

const DUI_MSGMAP CNotifyPump::messageMap = {nullptr, kNoEntries};

const DUI_MSGMAP* CNotifyPump::GetMessageMap() const {
    return &CNotifyPump::messageMap;
}

bool CNotifyPump::NotifyPump(TNotifyUI& msg) {
    for (const DUI_MSGMAP* map = GetMessageMap(); map; map = map->pBaseMap) {
        for (const DUI_MSGMAP_ENTRY* e = map->lpEntries; e && e->sMsgType; ++e) {
            if (msg.sType.Compare(e->sMsgType) != 0) {
                continue;
            }
            bool anyControl = !e->sCtrlName || !*e->sCtrlName;
            if (anyControl || (msg.pSender && msg.pSender->GetName().Compare(e->sCtrlName) == 0)) {
                e->pfn(this, msg);
                return true;
            }
        }
    }
    return false;
}
