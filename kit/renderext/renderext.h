// renderext.h - what every render-extension plug-in repeats, written once: the plug-in record, the
// init/fini conventions, the descriptor, and the attribute-set protocol driven by a per-widget table.
//
// A widget declares its instance record (standard layout), a table of attr_def entries that say
// where each attribute lives and what a change costs, and a widget_def tying them together:
//
//     static constexpr kit::attr_def k_attrs[] = {
//         kit::attr_string(12, "logo_path", offsetof(splash_record, logo_path)),
//     };
//     static constexpr kit::widget_def k_widget = kit::make_widget<splash_record>("SplashImage", k_attrs);
//
// and gets its engine attribute table, its set_attribute callback and its clone/destroy helpers
// from the templates below.
#ifndef PITWALL_KIT_RENDEREXT_H
#define PITWALL_KIT_RENDEREXT_H

#include "gre_host.h"

#include <array>
#include <cstddef>
#include <cstdint>

// The one symbol a plug-in library exports.
#define GRE_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace kit {

// Recompute levels of an instance record.
enum : int32_t {
    level_relayout = 0, // lay out anew and measure texts
    level_state = 1,    // re-evaluate the value-dependent state
    level_ready = 2,    // up to date
    level_none = -1     // the attribute lowers no level (or the widget keeps none)
};

// How an attribute is kept in the instance record; the comparison covers exactly these bits.
enum class store : uint8_t {
    string,  // owned heap copy, compared by content
    float32, // compared by value; NaN always counts as a change
    int32,   // all 32 bits of a "4s1" or "4u1" value
    int16,   // the low 16 bits of a "4s1" value
    uint8,   // a "1u1" value, or the low 8 bits of a "4s1" value
    low16,   // the low 16 bits of a "4s1" value, kept in a 32-bit field (0 to 65535)
    ignored  // accepted and dropped: nothing stored, nothing counted (unless every set counts)
};

// One attribute of a widget (ids 12 and up).
struct attr_def {
    int32_t id;
    const char *name;
    const char *type;   // type code, GR_TYPE_*
    store kind;
    uint32_t offset;    // byte offset of the field in the instance record
    int32_t level;      // recompute level a change lowers to, or level_none
};

constexpr attr_def attr_string(int32_t id, const char *name, size_t offset,
                               int32_t level = level_none) {
    return {id, name, GR_TYPE_STRING, store::string, static_cast<uint32_t>(offset), level};
}
constexpr attr_def attr_float(int32_t id, const char *name, size_t offset, int32_t level = level_none) {
    return {id, name, GR_TYPE_FLOAT, store::float32, static_cast<uint32_t>(offset), level};
}
// A "4s1" (or, with type, "4u1") value kept in full, or by its low 16 or 8 bits.
constexpr attr_def attr_int(int32_t id, const char *name, size_t offset, int32_t level = level_none,
                            store kept = store::int32, const char *type = GR_TYPE_INT32) {
    return {id, name, type, kept, static_cast<uint32_t>(offset), level};
}
constexpr attr_def attr_u8(int32_t id, const char *name, size_t offset, int32_t level = level_none) {
    return {id, name, GR_TYPE_UINT8, store::uint8, static_cast<uint32_t>(offset), level};
}
constexpr attr_def attr_ignored(int32_t id, const char *name, const char *type = GR_TYPE_INT32) {
    return {id, name, type, store::ignored, 0, level_none};
}

// Everything the attribute protocol, clone and destroy need to know about a widget.
struct widget_def {
    const char *name;          // display name, also the log prefix
    uint32_t data_size;        // bytes of the instance record
    const attr_def *attrs;
    uint32_t attr_count;
    int32_t level_offset;      // byte offset of the recompute level, or -1 when there is none
    bool count_every_set;      // every set of an own attribute counts in `dirty`, changed or not
};

template <typename Record, size_t N>
constexpr widget_def make_widget(const char *name, const attr_def (&attrs)[N], int32_t level_offset = -1,
                                 bool count_every_set = false) {
    return {name, static_cast<uint32_t>(sizeof(Record)), attrs, static_cast<uint32_t>(N), level_offset,
            count_every_set};
}

// The same from a table built by a constexpr function (widgets that share one table shape).
template <typename Record, size_t N>
constexpr widget_def make_widget(const char *name, const std::array<attr_def, N> &attrs, int32_t level_offset = -1,
                                 bool count_every_set = false) {
    return {name, static_cast<uint32_t>(sizeof(Record)), attrs.data(), static_cast<uint32_t>(N), level_offset,
            count_every_set};
}

// The twelve common attributes every table begins with; the engine stores them itself.
inline constexpr gr_attribute_t common_attributes[12] = {
    {0, "x", GR_TYPE_INT32},       {1, "y", GR_TYPE_INT32},         {2, "width", GR_TYPE_UINT32},
    {3, "height", GR_TYPE_UINT32}, {4, "color", GR_TYPE_UINT32},    {5, "valign", GR_TYPE_UINT32},
    {6, "halign", GR_TYPE_UINT32}, {7, "rotation", GR_TYPE_FLOAT},  {8, "linewidth", GR_TYPE_UINT32},
    {9, "alpha", GR_TYPE_UINT32},  {10, "rot_center_x", GR_TYPE_FLOAT}, {11, "rot_center_y", GR_TYPE_FLOAT},
};

// The engine's attribute table of a widget: the common entries, the widget's own in table order,
// and the all-zero end entry.
template <size_t N>
constexpr std::array<gr_attribute_t, 12 + N + 1> attribute_table(const attr_def (&attrs)[N]) {
    std::array<gr_attribute_t, 12 + N + 1> table{};
    for (size_t i = 0; i < 12; ++i) table[i] = common_attributes[i];
    for (size_t i = 0; i < N; ++i) table[12 + i] = {attrs[i].id, attrs[i].name, attrs[i].type};
    table[12 + N] = {0, nullptr, nullptr};
    return table;
}

template <size_t N>
constexpr std::array<gr_attribute_t, 12 + N + 1> attribute_table(const std::array<attr_def, N> &attrs) {
    std::array<gr_attribute_t, 12 + N + 1> table{};
    for (size_t i = 0; i < 12; ++i) table[i] = common_attributes[i];
    for (size_t i = 0; i < N; ++i) table[12 + i] = {attrs[i].id, attrs[i].name, attrs[i].type};
    table[12 + N] = {0, nullptr, nullptr};
    return table;
}

// ---- the attribute-set protocol ---------------------------------------------------------------

// Compare, store, count and lower the level; ids the widget does not own go to the engine.
void set_attribute(const widget_def &widget, int32_t id, const void *value, gr_instance_t *instance);

template <const widget_def &W>
void set_attribute_callback(int32_t id, const void *value, gr_instance_t *instance) {
    set_attribute(W, id, value, instance);
}

// The recompute level of an instance record (level_ready when the widget keeps none).
int32_t recompute_level(const widget_def &widget, const void *record);
void set_recompute_level(const widget_def &widget, void *record, int32_t level);

// ---- owned strings, clone and destroy ---------------------------------------------------------

// A heap copy of text, or null for null text or when the heap is exhausted.
char *copy_string(const char *text);

// Copy the source's whole record over the target's, give the target its own copies of every
// string attribute of the table and set its recompute level to 0. The widget then clears the
// handles and derived buffers it names. The target's previous contents are not freed.
void clone_record(const widget_def &widget, gr_instance_t *target, const gr_instance_t *source);

// Free every string attribute of the table and null the fields.
void free_strings(const widget_def &widget, void *record);

// Clone and destroy of a widget whose record holds nothing to clear or release but its strings.
template <const widget_def &W>
int clone_strings_callback(gr_instance_t *target, gr_instance_t *source) {
    clone_record(W, target, source);
    return 0;
}
template <const widget_def &W>
int destroy_strings_callback(gr_instance_t *instance) {
    free_strings(W, instance->data);
    return 0;
}

// The callback that fills the descriptor's two spare slots.
int aux_noop(void *ignored);

// A widget's descriptor: its name and record size from the widget, the attribute table, the
// callbacks; set_attribute is the table-driven protocol unless the widget wraps it.
template <const widget_def &W>
constexpr gr_renderext_t make_descriptor(const gr_attribute_t *attributes, gr_draw_fn draw, gr_clone_fn clone,
                                         gr_destroy_fn destroy,
                                         gr_set_attribute_fn set_attribute = &set_attribute_callback<W>) {
    return {W.name, W.data_size, attributes, set_attribute, draw, &aux_noop, &aux_noop, clone, destroy,
            nullptr, nullptr, nullptr};
}

// The descriptor of a widget whose instance owns nothing but its strings: cloned and destroyed by
// the string-only callbacks above.
template <const widget_def &W>
constexpr gr_renderext_t make_strings_descriptor(const gr_attribute_t *attributes, gr_draw_fn draw,
                                                 gr_set_attribute_fn set_attribute = &set_attribute_callback<W>) {
    return make_descriptor<W>(attributes, draw, &clone_strings_callback<W>, &destroy_strings_callback<W>, set_attribute);
}

// ---- plug-in record, init and fini ------------------------------------------------------------

struct plugin_def {
    const char *name;               // display name
    const gr_renderext_t *descriptor;
    bool keeps_app;                 // keep the application handle for loads and destroy
    gr_image_t **images;            // plug-in-wide image slots, cleared at init, released at fini
    uint32_t image_count;
};

// Fill the plug-in record: the display name (a heap copy the engine keeps), version 5, callbacks.
int fill_plugin_record(gre_plugin_t *record, const char *name, gre_plugin_init_fn init,
                       gre_plugin_fini_fn fini);
int plugin_init(const plugin_def &plugin, gr_application_t *app);
void plugin_fini(const plugin_def &plugin, gr_application_t *app);

// The application handle kept at init by plug-ins that keep it (null otherwise or before init).
gr_application_t *kept_app();
// The render context outside draws, for releasing images from destroy; null when there is none.
gr_context_t *kept_render_context();
// Release an image through the kept render context and null the slot; nothing when either is null.
void release_kept_image(gr_image_t **slot);

template <const plugin_def &P>
int plugin_init_callback(gr_application_t *app) {
    return plugin_init(P, app);
}
template <const plugin_def &P>
void plugin_fini_callback(gr_application_t *app) {
    plugin_fini(P, app);
}
template <const plugin_def &P>
int plugin_create(gre_plugin_t *record) {
    return fill_plugin_record(record, P.name, &plugin_init_callback<P>, &plugin_fini_callback<P>);
}

} // namespace kit

#endif // PITWALL_KIT_RENDEREXT_H
