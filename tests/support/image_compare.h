// image_compare.h - comparing a rendered picture with a reference picture under a per-pixel
// tolerance, and the pictures written when they differ.
//
// A pixel differs when any of its four channels differs by more than the channel tolerance;
// the largest channel difference is reported alongside. Channel differences are absolute, never
// summed with their sign, so errors of opposite direction cannot cancel.
#ifndef PITWALL_TESTS_IMAGE_COMPARE_H
#define PITWALL_TESTS_IMAGE_COMPARE_H

#include "pitwall/png_file.h"

#include <cstdint>
#include <string>

namespace pitwall::testing {

struct image_difference {
    bool same_size = true;
    int max_channel = 0;     // largest absolute difference of any channel of any pixel
    int64_t differing = 0;   // pixels with a channel difference above the tolerance
};

image_difference compare_images(const argb_image &actual, const argb_image &expected, int channel_tolerance);

// The reference dimmed to a quarter, with every pixel that differs by more than the tolerance in
// red, brighter for larger differences (at least half bright, so that one-step differences
// show), each pixel magnified to magnify x magnify.
argb_image difference_image(const argb_image &actual, const argb_image &expected, int channel_tolerance,
                            int magnify);

// Where tests write the pictures a person should look at: <build>/test-output/<name>.
std::string test_output_path(const std::string &name);

} // namespace pitwall::testing

#endif // PITWALL_TESTS_IMAGE_COMPARE_H
