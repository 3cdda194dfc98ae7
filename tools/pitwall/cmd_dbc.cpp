// pitwall dbc FILE [--decode LOG]: a CAN database's messages and signals, or a candump log decoded
// with it.
#include "commands.h"

#include <cstdio>

namespace pitwall::cli {

int cmd_dbc(const options &opts) {
    std::fprintf(stderr, "pitwall dbc: %s: not read yet\n", opts.dbc.c_str());
    return exit_usage;
}

} // namespace pitwall::cli
