/* A widget written outside the project: built with nothing but the installed header and
 * `pkg-config --cflags --libs pitwall`, it must compile as C and link against libgre. */
#include <gre_host.h>

void own_widget_hello(gr_application_t *app) {
    gre_app_log(app, GRE_LOG_INFO, "Own Widget: %s", "built against the installed header");
}
