// Entry point of the advert pop-up.
#include "util/Locale.h"

int main() {
    kestrova::adoptProcessLocale();
    return 0;
}
