// The attribute-set protocol, owned strings, clone and destroy, driven by a widget's table.
#include "renderext.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kit {
namespace {

const attr_def *find_attr(const widget_def &widget, int32_t id) {
    for (uint32_t i = 0; i < widget.attr_count; ++i)
        if (widget.attrs[i].id == id) return &widget.attrs[i];
    return nullptr;
}

unsigned char *field(void *record, const attr_def &attr) {
    return static_cast<unsigned char *>(record) + attr.offset;
}

// Strings: a null stored pointer or a null new value always counts as a change.
bool store_string(unsigned char *slot, const char *text) {
    char *stored;
    std::memcpy(&stored, slot, sizeof stored);
    if (stored != nullptr && text != nullptr && std::strcmp(stored, text) == 0) return false;
    std::free(stored);
    char *copy = copy_string(text);
    std::memcpy(slot, &copy, sizeof copy);
    return true;
}

// Numbers are compared over exactly the bits the widget keeps. Fields are reached with memcpy:
// the record is a plain byte block whose layout belongs to the widget.
template <typename T>
bool store_number(unsigned char *slot, T value) {
    T stored;
    std::memcpy(&stored, slot, sizeof stored);
    if (stored == value) return false; // NaN never compares equal: setting NaN always counts
    std::memcpy(slot, &value, sizeof value);
    return true;
}

int32_t read_int32(const void *value) {
    int32_t v;
    std::memcpy(&v, value, sizeof v);
    return v;
}

bool store_value(const attr_def &attr, unsigned char *slot, const void *value) {
    switch (attr.kind) {
    case store::string:
        return store_string(slot, static_cast<const char *>(value));
    case store::float32: {
        float v;
        std::memcpy(&v, value, sizeof v);
        return store_number(slot, v);
    }
    case store::int32:
        return store_number(slot, read_int32(value));
    case store::int16:
        return store_number(slot, static_cast<int16_t>(read_int32(value) & 0xffff));
    case store::low16:
        return store_number(slot, read_int32(value) & 0xffff);
    case store::uint8: {
        // "1u1" values are single bytes; "4s1"/"4u1" values kept as a byte keep their low 8 bits.
        uint8_t v;
        if (attr.type[0] == '1')
            std::memcpy(&v, value, 1);
        else
            v = static_cast<uint8_t>(read_int32(value) & 0xff);
        return store_number(slot, v);
    }
    case store::ignored:
        return false;
    }
    return false;
}

} // namespace

char *copy_string(const char *text) {
    if (text == nullptr) return nullptr;
    size_t size = std::strlen(text) + 1;
    char *copy = static_cast<char *>(std::malloc(size));
    if (copy != nullptr) std::memcpy(copy, text, size);
    return copy;
}

int32_t recompute_level(const widget_def &widget, const void *record) {
    if (widget.level_offset < 0) return level_ready;
    int32_t level;
    std::memcpy(&level, static_cast<const unsigned char *>(record) + widget.level_offset, sizeof level);
    return level;
}

void set_recompute_level(const widget_def &widget, void *record, int32_t level) {
    if (widget.level_offset < 0) return;
    std::memcpy(static_cast<unsigned char *>(record) + widget.level_offset, &level, sizeof level);
}

void set_attribute(const widget_def &widget, int32_t id, const void *value, gr_instance_t *instance) {
    const attr_def *attr = find_attr(widget, id);
    if (attr == nullptr) {
        gr_renderext_common_parse(id, value, instance);
        return;
    }
    // A null pointer for a number carries no value: nothing to compare or store.
    bool changed = (attr->kind == store::string || value != nullptr) &&
                   store_value(*attr, field(instance->data, *attr), value);
    if (changed || widget.count_every_set) instance->dirty += 1;
    if (changed && attr->level != level_none && recompute_level(widget, instance->data) > attr->level)
        set_recompute_level(widget, instance->data, attr->level);
}

void clone_record(const widget_def &widget, gr_instance_t *target, const gr_instance_t *source) {
    std::memcpy(target->data, source->data, widget.data_size);
    for (uint32_t i = 0; i < widget.attr_count; ++i) {
        const attr_def &attr = widget.attrs[i];
        if (attr.kind != store::string) continue;
        unsigned char *slot = field(target->data, attr);
        const char *text;
        std::memcpy(&text, slot, sizeof text);
        char *copy = copy_string(text);
        std::memcpy(slot, &copy, sizeof copy);
    }
    set_recompute_level(widget, target->data, level_relayout);
}

void free_strings(const widget_def &widget, void *record) {
    for (uint32_t i = 0; i < widget.attr_count; ++i) {
        const attr_def &attr = widget.attrs[i];
        if (attr.kind != store::string) continue;
        unsigned char *slot = field(record, attr);
        char *text;
        std::memcpy(&text, slot, sizeof text);
        std::free(text);
        text = nullptr;
        std::memcpy(slot, &text, sizeof text);
    }
}

int aux_noop(void *) { return 0; }

} // namespace kit
