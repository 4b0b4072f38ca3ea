// The process locale decides the narrow ("ANSI") encoding of every path and URL.
#pragma once

namespace kestrova {

// Adopts the user's locale; where that is the plain C/POSIX locale (ASCII only), the
// character type becomes C.UTF-8 so that narrow text can carry every character.
void adoptProcessLocale();

}  // namespace kestrova
