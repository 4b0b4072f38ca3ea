// Adopting the user's locale at start, with UTF-8 in place of plain ASCII.
#include "util/Locale.h"

#include <clocale>
#include <cstring>

namespace kestrova {

void adoptProcessLocale() {
    const char* adopted = std::setlocale(LC_ALL, "");
    const char* ctype = std::setlocale(LC_CTYPE, nullptr);
    const bool plain = adopted == nullptr || ctype == nullptr || std::strcmp(ctype, "C") == 0 ||
                       std::strcmp(ctype, "POSIX") == 0;
    if (plain) {
        std::setlocale(LC_CTYPE, "C.UTF-8");
    }
}

}  // namespace kestrova
