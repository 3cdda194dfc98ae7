/*
 * gre_host.h - the one contract between the engine (libgre) and its render-extension plug-ins.
 *
 * Plain C records with natural C types: on a 32-bit target every pointer and every int32_t is one
 * 32-bit word, so the records below have exactly the word layout the engine expects there. On a
 * 64-bit host the pointers widen and the layout follows; nothing may depend on absolute offsets.
 *
 * Conventions:
 *   - rectangles are four signed 16-bit values, both corners inclusive;
 *   - colours are 32-bit, 0xRRGGBB in the low 24 bits (some widgets put an alpha in the top byte);
 *   - every render-context operation takes the context as its first argument.
 */
#ifndef PITWALL_GRE_HOST_H
#define PITWALL_GRE_HOST_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define GRE_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#else
#define GRE_PRINTF(fmt_index, first_arg)
#endif

/* The interface value a plug-in reports in its plug-in record. */
#define GRE_PLUGIN_INTERFACE_VERSION 5

/* Log levels of gre_app_log. */
enum { GRE_LOG_ERROR = 0, GRE_LOG_WARNING = 1, GRE_LOG_INFO = 2 };

/* ---- geometry ---------------------------------------------------------------------------- */

typedef struct gr_rect {
    int16_t x1, y1; /* top-left corner, inclusive */
    int16_t x2, y2; /* bottom-right corner, inclusive */
} gr_rect_t;

typedef struct gr_size {
    int16_t width;
    int16_t height;
} gr_size_t;

/* The surface a control lies on; its size bounds the clip when none is set. */
typedef struct gr_canvas {
    gr_size_t size;
} gr_canvas_t;

/* ---- opaque engine handles --------------------------------------------------------------- */

typedef struct gr_image gr_image_t;       /* a loaded image */
typedef struct gr_surface gr_surface_t;   /* the drawable surface behind an image (image_info id 3) */
typedef struct gr_path gr_path_t;         /* a path made by create_path */
typedef struct gr_font gr_font_t;         /* a font, from res_font */
typedef struct gr_resource gr_resource_t; /* a resource-manager entry, from res_lookup */

/* ---- text ------------------------------------------------------------------------------- */

/* Nine words, owned by the caller; every word not named here is zero. */
typedef struct gr_text_style {
    gr_font_t *font;    /* 0: font handle from res_font, null until the lookup succeeds */
    int32_t one;        /* 1: always 1 */
    int32_t reserved2;  /* 2 */
    int32_t size;       /* 3: font size in pixels */
    int32_t reserved4;  /* 4 */
    int32_t reserved5;  /* 5 */
    int32_t reserved6;  /* 6 */
    uint32_t colour;    /* 7: 0xRRGGBB in the low 24 bits, passed through unchanged */
    int32_t reserved8;  /* 8 */
} gr_text_style_t;

/* Output of font_metrics: only the first word is relied upon. */
typedef struct gr_font_metrics {
    int32_t line_height; /* pixels: text height for vertical centring and the line pitch */
    int32_t ascent;
    int32_t descent;
    int32_t reserved;
} gr_font_metrics_t;

/* Output of image_info id 0 (8 bytes on a 32-bit target). */
typedef struct gr_image_size {
    int16_t width;
    int16_t height;
    const void *stretch; /* nine-patch stretch description, engine-owned; null for plain images */
} gr_image_size_t;

/* Byte offsets of the signed 16-bit stretch bands inside the stretch description. */
enum {
    GR_STRETCH_SX_OFFSET = 4,  /* first stretchable column */
    GR_STRETCH_SW_OFFSET = 8,  /* number of stretchable columns */
    GR_STRETCH_SY_OFFSET = 20, /* first stretchable row */
    GR_STRETCH_SH_OFFSET = 24, /* number of stretchable rows */
    GR_STRETCH_SIZE = 28
};

/* Render-context attribute ids of set_attr / restore_attr. */
enum {
    GR_ATTR_ALPHA = 2,      /* int32 0..255 */
    GR_ATTR_ROTATION = 3,   /* float degrees, clockwise on screen; text and images */
    GR_ATTR_LINE_WIDTH = 5  /* int32 pixels */
};

/* image_info ids and image_set ids. */
enum { GR_IMAGE_INFO_SIZE = 0, GR_IMAGE_INFO_SURFACE = 3 };
enum { GR_IMAGE_SET_SIZE = 2 };

/* The flags value every plug-in passes to load_image. */
#define GR_LOAD_IMAGE_FLAGS 0x7888820u

/* create_path kinds and flags. */
enum { GR_PATH_LINE = 0, GR_PATH_BAND = 2 };
enum { GR_PATH_FLAGS_LINE = 1, GR_PATH_FLAGS_BAND = 3 };

/* ---- render context ---------------------------------------------------------------------- */

typedef struct gr_context gr_context_t;
typedef struct gr_application gr_application_t;

/* The operations in their slot order. */
typedef struct gr_render_ops {
    void (*set_attr)(gr_context_t *ctx, int32_t id, const void *value, int32_t size);
    void (*restore_attr)(gr_context_t *ctx, int32_t id);
    void (*set_clip)(gr_context_t *ctx, const gr_rect_t *rect);
    void (*clear_clip)(gr_context_t *ctx);
    int (*get_clip)(gr_context_t *ctx, gr_rect_t *out); /* 0: clip copied; else no clip set */
    void (*translate)(gr_context_t *ctx, int32_t dx, int32_t dy);
    void (*untranslate)(gr_context_t *ctx, int32_t dx, int32_t dy);
    void (*fill_rect)(gr_context_t *ctx, const gr_rect_t *rect, uint32_t colour);
    void (*stroke_rect)(gr_context_t *ctx, const gr_rect_t *rect, uint32_t colour);
    void (*draw_path)(gr_context_t *ctx, gr_path_t *path, uint32_t fill, uint32_t stroke, int32_t one);
    void (*draw_image_part)(gr_context_t *ctx, gr_surface_t *surface, const gr_rect_t *source,
                            int32_t zero, const gr_rect_t *target);
    /* x, y: top-left; pivot measured from the image corner, -1.0 (or 0.0) when not rotating */
    void (*draw_image)(gr_context_t *ctx, gr_image_t *image, float x, float y, int32_t width,
                       int32_t height, float pivot_x, float pivot_y);
    /* x, y: top-left corner of the text; length in bytes, no terminator */
    void (*draw_text)(gr_context_t *ctx, int32_t x, int32_t y, const char *text, int32_t length,
                      const gr_text_style_t *style);
    /* size: null for the native size, or two int32 (width, height) */
    gr_image_t *(*load_image)(gr_context_t *ctx, const char *path, uint32_t flags,
                              const int32_t *size, int32_t zero);
    void (*release_image)(gr_context_t *ctx, gr_image_t *image);
    /* id 2: value points at int16 width and height (size 4), the size of the next draw_image */
    void (*image_set)(gr_context_t *ctx, gr_image_t *image, int32_t id, const void *value,
                      int32_t size);
    /* id 0 (size 8): gr_image_size_t; id 3 (size 0): out is a gr_surface_t pointer */
    int (*image_info)(gr_context_t *ctx, gr_image_t *image, int32_t id, void *out, int32_t size);
    void (*font_metrics)(gr_context_t *ctx, gr_font_t *font, gr_font_metrics_t *out);
    /* out: int16 width and height, zeroed by the caller; returns -1 on failure */
    int (*text_extent)(gr_context_t *ctx, const char *text, int32_t length,
                       const gr_text_style_t *style, int16_t *out);
    /* points: count x/y float pairs */
    gr_path_t *(*create_path)(gr_context_t *ctx, int32_t kind, const float *points, int32_t count,
                              int32_t flags);
    void (*free_path)(gr_context_t *ctx, gr_path_t *path);
} gr_render_ops_t;

struct gr_context {
    gr_application_t *app;
    const gr_render_ops_t *ops;
    void *impl; /* the engine's own state for this context */
};

/* ---- resources and services -------------------------------------------------------------- */

typedef struct gr_resources gr_resources_t;
struct gr_resources {
    /* kind "font": the resource of that name, or null */
    gr_resource_t *(*res_lookup)(gr_resources_t *res, const char *kind, const char *name,
                                 gr_text_style_t *style);
    gr_font_t *(*res_font)(gr_resources_t *res, gr_resource_t *resource); /* null on failure */
    void (*res_release)(gr_resources_t *res, gr_resource_t *resource);
    void *impl;
};

typedef struct gr_renderext gr_renderext_t;
typedef struct gr_renderext_registry gr_renderext_registry_t;
struct gr_renderext_registry {
    int (*register_renderext)(gr_renderext_registry_t *registry, const gr_renderext_t *renderext);
    void *impl;
};

typedef struct gr_services {
    gr_renderext_registry_t *renderext_registry;
    gr_context_t *render; /* render context outside draws, or null */
    gr_resources_t *resources;
} gr_services_t;

struct gr_application {
    const char *base_dir; /* the application directory; resource paths are relative to it */
    gr_services_t *services;
};

/* ---- engine instance and control records ------------------------------------------------- */

typedef struct gr_instance {
    uint32_t visible; /* 0: not drawn */
    int32_t width;    /* -1: the control's width */
    int32_t height;   /* -1: the control's height */
    uint32_t color;   /* the common attribute `color` */
    float inhibit;    /* drawn only while exactly 0.0 */
    int32_t dirty;    /* change count, set to 0 by a completed draw */
    uint32_t x;       /* offset from the control's left edge; the low 16 bits are used */
    uint32_t y;       /* offset from the control's top edge; the low 16 bits are used */
    void *data;       /* the instance record, data_size bytes, zero-filled by the engine */
} gr_instance_t;

typedef struct gr_control {
    int16_t x, y;          /* screen position */
    int16_t width, height;
    gr_canvas_t *canvas;   /* the surface the control lies on */
} gr_control_t;

/* ---- plug-in records --------------------------------------------------------------------- */

/* Attribute type codes. */
#define GR_TYPE_INT32 "4s1"
#define GR_TYPE_UINT32 "4u1"
#define GR_TYPE_FLOAT "4f1"
#define GR_TYPE_UINT8 "1u1"
#define GR_TYPE_STRING "1s0"

/* One attribute table entry; a table ends with an all-zero entry. */
typedef struct gr_attribute {
    int32_t id;
    const char *name;
    const char *type;
} gr_attribute_t;

typedef void (*gr_set_attribute_fn)(int32_t id, const void *value, gr_instance_t *instance);
typedef int (*gr_draw_fn)(gr_context_t *ctx, gr_control_t *control, gr_instance_t *instance);
typedef int (*gr_aux_fn)(void *ignored);
typedef int (*gr_clone_fn)(gr_instance_t *target, gr_instance_t *source);
typedef int (*gr_destroy_fn)(gr_instance_t *instance);

/* The render-extension descriptor: twelve pointer-sized fields. */
struct gr_renderext {
    const char *name;
    uintptr_t data_size; /* bytes of the instance record */
    const gr_attribute_t *attributes;
    gr_set_attribute_fn set_attribute;
    gr_draw_fn draw;
    gr_aux_fn aux1;
    gr_aux_fn aux2;
    gr_clone_fn clone;
    gr_destroy_fn destroy;
    void *reserved10;
    void *reserved11;
    void *reserved12;
};

typedef int (*gre_plugin_init_fn)(gr_application_t *app);
typedef void (*gre_plugin_fini_fn)(gr_application_t *app);

/* The plug-in record the engine hands to gre_plugin_create: seven words. */
typedef struct gre_plugin {
    char *name; /* heap copy of the display name; the engine frees it */
    void *reserved2;
    gre_plugin_init_fn init;
    gre_plugin_fini_fn fini;
    int32_t interface_version;
    int32_t reserved6;
    int32_t reserved7;
} gre_plugin_t;

/* The one export of every plug-in library. */
typedef int (*gre_plugin_create_fn)(gre_plugin_t *plugin);

/* ---- the four imports -------------------------------------------------------------------- */

void gre_app_log(gr_application_t *app, int level, const char *format, ...) GRE_PRINTF(3, 4);
void gr_renderext_common_parse(int32_t id, const void *value, gr_instance_t *instance);
void gr_size_to_rect(gr_rect_t *out, const gr_size_t *size);
int gr_rect_clip(const gr_rect_t *a, const gr_rect_t *b, gr_rect_t *out); /* 0 when empty */

#ifdef __cplusplus
}
#endif

#endif /* PITWALL_GRE_HOST_H */
