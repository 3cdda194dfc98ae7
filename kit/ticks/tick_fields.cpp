// Field splitting for tick texts: empty fields are fields.
#include "tick_fields.h"

#include <cstring>

namespace kit {

char *cut_field(char **cursor, char separator) {
    char *start = *cursor;
    if (start == nullptr) return nullptr;
    char *end = std::strchr(start, separator);
    if (end == nullptr) {
        *cursor = nullptr;
    } else {
        *end = '\0';
        *cursor = end + 1;
    }
    return start;
}

} // namespace kit
