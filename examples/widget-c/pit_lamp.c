/* Pit Lamp: one lamp, lit in `lit_color` while `value` is at or above `limit`, else drawn in
 * `off_color`, with a one-pixel outline. Written in C against gre_host.h alone, without the kit:
 * every part of the contract is spelt out here.
 *
 *     cc -std=c11 -O2 -fPIC -fvisibility=hidden -shared -o libgre-plugin-PitLamp.so pit_lamp.c \
 *        $(pkg-config --cflags --libs pitwall) \
 *        -Wl,--version-script=$(pkg-config --variable=exportmap pitwall) -Wl,-z,defs
 */
#include <gre_host.h>

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#define PIT_LAMP_NAME "Pit Lamp"

/* The instance record: allocated zero-filled by the engine, data_size bytes. */
typedef struct pit_lamp {
    float value;
    float limit;
    uint32_t lit_color;
    uint32_t off_color;
} pit_lamp_t;

enum { ATTR_VALUE = 12, ATTR_LIMIT = 13, ATTR_LIT_COLOR = 14, ATTR_OFF_COLOR = 15 };

/* The twelve common attributes first, then the widget's own, then an all-zero entry. */
static const gr_attribute_t attributes[] = {
    {0, "x", GR_TYPE_INT32},       {1, "y", GR_TYPE_INT32},          {2, "width", GR_TYPE_UINT32},
    {3, "height", GR_TYPE_UINT32}, {4, "color", GR_TYPE_UINT32},     {5, "valign", GR_TYPE_UINT32},
    {6, "halign", GR_TYPE_UINT32}, {7, "rotation", GR_TYPE_FLOAT},   {8, "linewidth", GR_TYPE_UINT32},
    {9, "alpha", GR_TYPE_UINT32},  {10, "rot_center_x", GR_TYPE_FLOAT}, {11, "rot_center_y", GR_TYPE_FLOAT},
    {ATTR_VALUE, "value", GR_TYPE_FLOAT},
    {ATTR_LIMIT, "limit", GR_TYPE_FLOAT},
    {ATTR_LIT_COLOR, "lit_color", GR_TYPE_UINT32},
    {ATTR_OFF_COLOR, "off_color", GR_TYPE_UINT32},
    {0, NULL, NULL},
};

/* A float counts as changed unless equal; NaN never equals, so setting NaN always counts. */
static void set_float(float *field, const void *value, gr_instance_t *instance) {
    float v;
    memcpy(&v, value, sizeof v);
    if (v == *field) return;
    *field = v;
    instance->dirty += 1;
}

static void set_u32(uint32_t *field, const void *value, gr_instance_t *instance) {
    uint32_t v;
    memcpy(&v, value, sizeof v);
    if (v == *field) return;
    *field = v;
    instance->dirty += 1;
}

static void set_attribute(int32_t id, const void *value, gr_instance_t *instance) {
    pit_lamp_t *lamp = (pit_lamp_t *)instance->data;
    switch (id) {
    case ATTR_VALUE: set_float(&lamp->value, value, instance); break;
    case ATTR_LIMIT: set_float(&lamp->limit, value, instance); break;
    case ATTR_LIT_COLOR: set_u32(&lamp->lit_color, value, instance); break;
    case ATTR_OFF_COLOR: set_u32(&lamp->off_color, value, instance); break;
    default: gr_renderext_common_parse(id, value, instance); /* ids 0 to 11 belong to the engine */
    }
}

/* The common draw frame: visibility, the rectangle (rule 1: X, Y .. X+W-1, Y+H-1), the clip saved,
 * intersected and set, the drawing, the clip restored and `dirty` cleared. */
static int draw(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance) {
    const pit_lamp_t *lamp = (const pit_lamp_t *)instance->data;
    if (instance->visible == 0 || instance->inhibit != 0.0f) return 0;

    int32_t x = (int16_t)(control->x + (int16_t)instance->x);
    int32_t y = (int16_t)(control->y + (int16_t)instance->y);
    int32_t w = instance->width == -1 ? control->width : instance->width;
    int32_t h = instance->height == -1 ? control->height : instance->height;
    gr_rect_t widget = {(int16_t)x, (int16_t)y, (int16_t)(x + w - 1), (int16_t)(y + h - 1)};

    gr_rect_t saved, visible;
    int had_clip = ctx->ops->get_clip(ctx, &saved) == 0;
    if (!had_clip) gr_size_to_rect(&saved, &control->canvas->size);
    if (gr_rect_clip(&widget, &saved, &visible) == 0) return 0; /* wholly outside: dirty kept */
    ctx->ops->set_clip(ctx, &visible);

    int lit = lamp->value >= lamp->limit;
    ctx->ops->fill_rect(ctx, &widget, lit ? lamp->lit_color : lamp->off_color);
    ctx->ops->stroke_rect(ctx, &widget, instance->color);

    if (had_clip)
        ctx->ops->set_clip(ctx, &saved);
    else
        ctx->ops->clear_clip(ctx);
    instance->dirty = 0;
    return 0;
}

static int aux_noop(void *ignored) {
    (void)ignored;
    return 0;
}

/* The record holds no strings, images or buffers: a copy is a clone, and there is nothing to free. */
static int lamp_clone(gr_instance_t *target, gr_instance_t *source) {
    memcpy(target->data, source->data, sizeof(pit_lamp_t));
    return 0;
}

static int lamp_destroy(gr_instance_t *instance) {
    (void)instance;
    return 0;
}

static const gr_renderext_t descriptor = {
    PIT_LAMP_NAME, sizeof(pit_lamp_t), attributes, set_attribute, draw, aux_noop, aux_noop, lamp_clone, lamp_destroy,
    NULL, NULL, NULL,
};

static int init(gr_application_t *app) {
    gr_renderext_registry_t *registry = app->services->renderext_registry;
    registry->register_renderext(registry, &descriptor);
    return 0;
}

static void fini(gr_application_t *app) { (void)app; }

__attribute__((visibility("default"))) int gre_plugin_create(gre_plugin_t *plugin) {
    /* The engine frees the name: a heap copy. */
    char *name = malloc(sizeof PIT_LAMP_NAME);
    if (name == NULL) return -1;
    memcpy(name, PIT_LAMP_NAME, sizeof PIT_LAMP_NAME);
    memset(plugin, 0, sizeof *plugin);
    plugin->name = name;
    plugin->init = init;
    plugin->fini = fini;
    plugin->interface_version = GRE_PLUGIN_INTERFACE_VERSION;
    return 0;
}
