// The shadow's link to its parent's skin and the backend.
#include "platform/ui/UIShadow.h"

#include "platform/ui/UIManager.h"
#include "platform/ui/UIMessageCore.h"

using namespace kestrova::ui;

CWndShadow::~CWndShadow() {
    if (m_bShown && isWindow(m_hParent)) {
        backend().setShadow(m_hParent, nullptr, RECT{});
    }
}

bool CWndShadow::Initialize(HINSTANCE /*hInstance*/) {
    return backend().isCompositing();
}

void CWndShadow::Create(HWND hParentWnd) {
    m_hParent = hParentWnd;
}

bool CWndShadow::SetImage(LPCTSTR image, RECT rcCorner, RECT /*rcHoleOffset*/) {
    CPaintManagerUI* pm = CPaintManagerUI::FromWindow(m_hParent);
    // Without a compositor no shadow can show; the picture is not worth decoding.
    if (!pm || !isWindow(m_hParent) || !backend().isCompositing()) {
        return false;
    }
    const TImageInfo* picture = pm->GetImageEx(image);
    if (!picture) {
        return false;
    }
    m_bShown = backend().setShadow(m_hParent, picture, rcCorner);
    return m_bShown;
}
