// Whether the user has asked the desktop not to show notifications now: GNOME's
// "show-banners" switched off (org.gnome.desktop.notifications, read through GSettings,
// which reads the settings database without asking a service), or a notification server
// on the session bus whose Inhibited property is true (KDE Plasma's, and any server that
// implements the property). Nothing is started to answer: a desktop without these
// services answers no.
#pragma once

namespace kestrova {

bool doNotDisturb();

}  // namespace kestrova
