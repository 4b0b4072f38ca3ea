// The markup builder: a layout document becomes window settings, fonts, per-class
// default attributes and a control tree. Element names are looked up in a registry of
// control classes. Any fault (malformed XML, an unknown element or attribute, a bad
// value, a picture the skin lacks) fails the whole build with a message naming the
// file, line, element and attribute; nothing is applied to the paint manager then.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/UIControl.h"
#include "platform/ui/UINotify.h"
#include "platform/ui/UISkinSource.h"

class CPaintManagerUI;

namespace kestrova::ui {

struct BuildResult {
    std::unique_ptr<CControlUI> root;  // set only on success
    std::string error;                 // set only on failure
    explicit operator bool() const { return root != nullptr; }
};

// Builds the layout held in skin under fileName. On success the window settings, fonts
// and defaults are in pm and the tree is returned (not yet attached). callback, when
// given, is asked for element names the registry does not know.
BuildResult buildLayout(const SkinSource& skin, const std::string& fileName, CPaintManagerUI& pm,
                        IDialogBuilderCallback* callback = nullptr);
// The same from layout text, for a layout that is not inside a skin (pictures are
// still looked up in skin).
BuildResult buildLayoutFromText(std::string_view xml, const std::string& fileName,
                                const SkinSource& skin, CPaintManagerUI& pm,
                                IDialogBuilderCallback* callback = nullptr);

}  // namespace kestrova::ui
