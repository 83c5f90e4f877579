// strtod in the "C" locale, whatever the process locale says.
#include "utils/NumberParsing.h"

#include <locale.h>
#include <stdlib.h>

namespace Utils::detail {

double StrtodClassic(const char* text, char** end) {
    static const _locale_t c = _create_locale(LC_ALL, "C");
    return _strtod_l(text, end, c);
}

}  // namespace Utils::detail
