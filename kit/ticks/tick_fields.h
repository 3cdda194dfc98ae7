// tick_fields.h - splitting a tick text into entries and fields without merging separators.
//
// strtok treats a run of separators as one and skips leading ones; a tick text needs every empty
// field kept: in "0;0|;50;half" the second entry has an empty position field.
#ifndef PITWALL_KIT_TICK_FIELDS_H
#define PITWALL_KIT_TICK_FIELDS_H

namespace kit {

// Cut the next field off the text at *cursor: the first `separator` is overwritten with '\0' and
// the field's start returned. *cursor then points past the separator, or is null when the field
// was the last one. Returns null once *cursor is null. "a||b" yields "a", "", "b"; "" yields "".
char *cut_field(char **cursor, char separator);

} // namespace kit

#endif // PITWALL_KIT_TICK_FIELDS_H
