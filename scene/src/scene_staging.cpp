// What a scene stages on the recording context and the resource manager before a frame.
#include "pitwall/scene_run.h"

namespace pitwall {

void apply_staging(const scene_staging &stage, recording_context &recorder, resources &fonts) {
    for (const scene_image &img : stage.images) recorder.stage_image(img.path, img.info);
    for (const std::string &path : stage.removed_images) recorder.remove_image(path);
    if (stage.text_advance) recorder.set_text_advance(*stage.text_advance);
    for (const auto &[size, height] : stage.line_heights) recorder.set_line_height(size, height);
    for (const auto &[text, extent] : stage.text_extents) recorder.set_text_extent(text, extent[0], extent[1]);
    if (stage.fail_text_extent) recorder.fail_text_extent(*stage.fail_text_extent);
    if (stage.fail_create_path) recorder.fail_create_path(*stage.fail_create_path);
    for (const auto &[name, fault] : stage.font_faults) {
        switch (fault) {
        case font_fault::none: fonts.clear_fault(name); break;
        case font_fault::lookup: fonts.stage_lookup_failure(name); break;
        case font_fault::font: fonts.stage_font_failure(name); break;
        }
    }
}

} // namespace pitwall
