// lint.h - what can be told about a scene from the attribute catalog and the files around it:
// values outside their range or palette, missing fonts and images, overlapping controls, and why a
// control's draw failed. `pitwall lint` prints all of it; render, trace and animate print the
// reasons after a failed draw.
#ifndef PITWALL_TOOL_LINT_H
#define PITWALL_TOOL_LINT_H

#include "pitwall/scene.h"

#include <string>
#include <vector>

namespace pitwall::cli {

struct finding {
    std::string where; // "PATH:LINE:COLUMN"
    bool error = true; // false: a warning
    std::string text;  // "control "x": ..."
};

// Where images come from: files under the scene's application directory (render, animate, lint),
// or what the scene stages for the recording context (trace).
enum class image_source { files, staged };

// Values outside their range or palette, pictograms and palette colours whose image files are
// missing, fonts that cannot be found, in the controls and the steps' changes.
std::vector<finding> check_values(const scene &s, const std::string &path);
// Controls whose rectangles overlap in the first frame (warnings).
std::vector<finding> check_overlaps(const scene &s, const std::string &path);
// The reasons the draw of `control` in frame `frame` (0: the first, n: after step n) can have failed.
std::vector<finding> draw_failure_reasons(const scene &s, const std::string &path, const std::string &control,
                                          size_t frame, image_source images);

// "PATH:LINE:COLUMN: error: TEXT"
std::string format_finding(const finding &f);

} // namespace pitwall::cli

#endif // PITWALL_TOOL_LINT_H
