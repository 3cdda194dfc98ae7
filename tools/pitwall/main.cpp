// pitwall: the preview tool. Loads the plug-ins into the stand-in engine and shows what they draw.
#include "commands.h"

int main(int argc, char **argv) {
    pitwall::cli::command_line line = pitwall::cli::parse_command_line(argc, argv);
    return line.run ? line.run(line.opts) : line.exit_code;
}
