// Everything a skinned window's code uses from the library, in one include.
#pragma once

#include "platform/ui/UIContainer.h"
#include "platform/ui/UIControl.h"
#include "platform/ui/UIDefs.h"
#include "platform/ui/UILabel.h"
#include "platform/ui/UILayout.h"
#include "platform/ui/UIManager.h"
#include "platform/ui/UINotify.h"
#include "platform/ui/UIRender.h"
#include "platform/ui/UIShadow.h"
#include "platform/ui/UIString.h"
#include "platform/ui/UIText.h"
#include "platform/ui/UIWinApi.h"
#include "platform/ui/UIWindow.h"
#include "platform/ui/UIWindowImpl.h"
