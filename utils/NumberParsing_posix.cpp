// strtod in the "C" locale, whatever the process locale says.
#include "utils/NumberParsing.h"

#include <locale.h>
#include <stdlib.h>

namespace Utils::detail {

double StrtodClassic(const char* text, char** end) {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return strtod_l(text, end, c);
}

}  // namespace Utils::detail
