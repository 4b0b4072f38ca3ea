// Notifications and the interfaces a window implements to receive them: notification
// records, listeners, message filters, the builder's control hook, and message maps that
// route a notification type (and optionally a control name) to a member function.
//
// A window declares its map in the class with DUI_DECLARE_MESSAGE_MAP() and fills it in
// its source file; entries name the handler with its class:
//
//   DUI_BEGIN_MESSAGE_MAP(CMyDlg, WindowImplBase)
//       DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, CMyDlg::OnClick)
//   DUI_END_MESSAGE_MAP()
#pragma once

#include "platform/ui/UIDefs.h"
#include "platform/ui/UIString.h"

class CControlUI;

inline constexpr const wchar_t* DUI_MSGTYPE_CLICK = L"click";
inline constexpr const wchar_t* DUI_MSGTYPE_TABSELECT = L"tabselect";

struct TNotifyUI {
    CDuiString sType;
    CDuiString sVirtualWnd;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyUI {
public:
    virtual void Notify(TNotifyUI& msg) = 0;

protected:
    ~INotifyUI() = default;
};

// Consulted for a window's messages before the window handles them. Setting handled
// stops the message there, with the returned result.
class IMessageFilterUI {
public:
    virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;

protected:
    ~IMessageFilterUI() = default;
};

// Lets a window supply controls for element names the library does not know.
class IDialogBuilderCallback {
public:
    virtual CControlUI* CreateControl(LPCTSTR pstrClass) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

class CNotifyPump;
// An entry's handler: a small function that calls the member on the right class, so no
// member pointer is ever converted between classes.
using DUI_PMSG = void (*)(CNotifyPump*, TNotifyUI&);

namespace kestrova::ui {
template <auto Member>
struct NotifyHandler;
template <class T, void (T::*Member)(TNotifyUI&)>
struct NotifyHandler<Member> {
    static void call(CNotifyPump* pump, TNotifyUI& msg) { (static_cast<T*>(pump)->*Member)(msg); }
};
}  // namespace kestrova::ui

struct DUI_MSGMAP_ENTRY {
    const wchar_t* sMsgType;
    const wchar_t* sCtrlName;  // empty: any control
    DUI_PMSG pfn;
};

struct DUI_MSGMAP {
    const DUI_MSGMAP* pBaseMap;
    const DUI_MSGMAP_ENTRY* lpEntries;
};

class CNotifyPump {
public:
    virtual ~CNotifyPump() = default;
    // Runs the first entry of this object's map chain (own map first, then its bases)
    // that matches the notification. False when none matches.
    bool NotifyPump(TNotifyUI& msg);

protected:
    static const DUI_MSGMAP messageMap;
    virtual const DUI_MSGMAP* GetMessageMap() const;
};

#define DUI_DECLARE_MESSAGE_MAP()                     \
private:                                              \
    static const DUI_MSGMAP_ENTRY _messageEntries[];  \
                                                      \
protected:                                            \
    static const DUI_MSGMAP messageMap;               \
    const DUI_MSGMAP* GetMessageMap() const override; \
                                                      \
private:

#define DUI_BEGIN_MESSAGE_MAP(theClass, baseClass)                                     \
    const DUI_MSGMAP* theClass::GetMessageMap() const {                                \
        return &theClass::messageMap;                                                  \
    }                                                                                  \
    constinit const DUI_MSGMAP theClass::messageMap = {&baseClass::messageMap,         \
                                                       &theClass::_messageEntries[0]}; \
    constinit const DUI_MSGMAP_ENTRY theClass::_messageEntries[] = {
#define DUI_ON_MSGTYPE(msgtype, memberFxn) \
    {msgtype, L"", &kestrova::ui::NotifyHandler<&memberFxn>::call},
#define DUI_END_MESSAGE_MAP()     \
    { nullptr, nullptr, nullptr } \
    }                             \
    ;
