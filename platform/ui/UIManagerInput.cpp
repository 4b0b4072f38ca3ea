// The paint manager's own processing of window messages: painting into the context a
// message carries, client resizing, and the mouse. The control pressed keeps the mouse
// capture until the release, so a release elsewhere reaches it too and it can tell that
// it was not clicked.
#include "platform/ui/UIManager.h"

#include "platform/ui/UIBackend.h"

void CPaintManagerUI::SendEvent(CControlUI* control, int type, POINT pt, WPARAM wParam) {
    TEventUI event;
    event.Type = type;
    event.pSender = control;
    event.ptMouse = pt;
    event.wParam = wParam;
    control->DoEvent(event);
}

void CPaintManagerUI::OnMouseMove(POINT pt) {
    CControlUI* hit = FindControl(pt);
    if (hit != m_pEventHover) {
        CControlUI* left = m_pEventHover;
        m_pEventHover = hit;
        if (left)
            SendEvent(left, UIEVENT_MOUSELEAVE, pt);
        if (hit)
            SendEvent(hit, UIEVENT_MOUSEENTER, pt);
    }
    if (CControlUI* target = m_pEventClick ? m_pEventClick : hit) {
        SendEvent(target, UIEVENT_MOUSEMOVE, pt);
    }
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    lRes = 0;
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (uMsg) {
        case WM_PAINT:
            // A drawing context to copy the frame into, or a backend's request for it.
            if (wParam) {
                Render(reinterpret_cast<HDC>(wParam));
            } else if (auto* paint = reinterpret_cast<kestrova::ui::FramePaint*>(lParam)) {
                paint->frame = UpdateFrame(paint->scale, paint->changed);
            }
            return true;
        case WM_SIZE:
            SetClientSize(SIZE{LOWORD(static_cast<std::uintptr_t>(lParam)),
                               HIWORD(static_cast<std::uintptr_t>(lParam))});
            return false;
        case WM_MOUSEMOVE:
            OnMouseMove(pt);
            return true;
        case WM_MOUSELEAVE:
            if (CControlUI* left = m_pEventHover) {
                m_pEventHover = nullptr;
                SendEvent(left, UIEVENT_MOUSELEAVE, pt);
            }
            return true;
        case WM_LBUTTONDOWN: {
            CControlUI* hit = FindControl(pt);
            m_pEventClick = hit;
            if (hit)
                SendEvent(hit, UIEVENT_BUTTONDOWN, pt, wParam);
            return true;
        }
        case WM_LBUTTONUP: {
            CControlUI* pressed = m_pEventClick;
            m_pEventClick = nullptr;
            if (pressed)
                SendEvent(pressed, UIEVENT_BUTTONUP, pt, wParam);
            return true;
        }
        default:
            return false;
    }
}
