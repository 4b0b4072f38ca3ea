// The pop-up for assistive tools: a notification named by its caption, holding the
// advert's title, the advert itself as a link that opens it, and the close button. Screen
// readers announce a notification when it appears and can read, open and close it.
#include "platform/shell/ShellExecute.h"
#include "platform/ui/UIMessageCore.h"
#include "ui/AdvertLayout.h"
#include "ui/FloatDlg.h"

namespace {

using kestrova::access::Box;
using kestrova::access::Node;
using kestrova::access::Role;

// The nodes' places in the tree DescribeForAccess builds.
enum AccessNode { kWindowNode, kTitleNode, kAdvertNode, kCloseNode };
constexpr int kPicturePage = 1;

std::string utf8(const CDuiString& text) {
    return kestrova::ui::toUtf8(std::wstring(text.GetData()));
}

Box boxOf(const RECT& rc, const RECT& window) {
    return Box{window.left + rc.left, window.top + rc.top, rc.right - rc.left, rc.bottom - rc.top};
}

}  // namespace

kestrova::access::Tree CFloatDlg::DescribeForAccess() const {
    kestrova::access::Tree tree;
    tree.program = "kestrova-advert";
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    const RECT client{0, 0, window.right - window.left, window.bottom - window.top};
    kestrova::access::addNode(
        tree,
        Node{Role::Notification, kestrova::ui::toUtf8(GetCaption()), "", boxOf(client, window)},
        -1);

    const std::string title = m_pTitle ? utf8(m_pTitle->GetText()) : "";
    const RECT titleRow{0, 0, client.right, kestrova::kTitleRowHeight};
    kestrova::access::addNode(tree, Node{Role::Label, title, title, boxOf(titleRow, window)},
                              kWindowNode);

    // The advert's text, or for a picture its title: what the link is about.
    const bool picture = m_pMainTab && m_pMainTab->GetCurSel() == kPicturePage;
    CControlUI* label = m_pm.FindControl(L"msgLabel");
    const std::string text = !picture && label ? utf8(label->GetText()) : "";
    const RECT body{0, kestrova::kTitleRowHeight, client.right, client.bottom};
    Node advert{Role::Link, picture ? title : text, text, boxOf(body, window)};
    advert.action = "jump";
    kestrova::access::addNode(tree, advert, kWindowNode);

    const RECT button{client.right - 25, 5, client.right - 5, 25};
    Node close{Role::PushButton, "关闭", "", boxOf(button, window)};
    close.action = "click";
    kestrova::access::addNode(tree, close, kWindowNode);
    return tree;
}

void CFloatDlg::PublishAccessible() {
    if (m_pAccess) {
        m_pAccess->update(DescribeForAccess());
        return;
    }
    // The bridge asks the session whether accessibility is on, on a thread of its own, and
    // does nothing more when it is off.
    const HWND hwnd = m_hWnd;
    m_pAccess =
        std::make_unique<kestrova::access::AtSpiBridge>(DescribeForAccess(), [hwnd](int node) {
            kestrova::ui::postFromAnyThread(hwnd, kestrova::kAccessActionMessage,
                                            static_cast<WPARAM>(node), 0);
        });
}

void CFloatDlg::OnAccessAction(int node) {
    if (node == kCloseNode) {
        Close(1);
    } else if (node == kAdvertNode) {
        OpenClickUrl();
    }
}
