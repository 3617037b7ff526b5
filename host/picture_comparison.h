// Pictures compared pixel by pixel, for golden-image checks: how many
// pixels differ by more than a tolerance, by how much at most, where, and a
// picture that shows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/base/image.h"

namespace panelhost {

// 8-bit RGBA with straight alpha, rows from the top: what a PNG file holds.
struct StraightPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;

    const uint8_t* at(int x, int y) const { return &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4]; }
};

// A PNG file of any colour type and depth PNG allows (stb_image decodes
// it); false with `error` naming the file and what is wrong with it.
bool read_png(const std::string& path, StraightPicture& picture, std::string& error);
// `image` as write_png stores it.
StraightPicture straight_picture(const Image& image);

struct PictureDifference {
    bool same_size = true;
    size_t pixels = 0;     // in each picture, when they are the same size
    size_t differing = 0;  // pixels differing by more than the tolerance
    int largest = 0;       // the largest difference of any channel of any pixel
    int left = 0, top = 0, right = -1, bottom = -1;  // the box around the differing pixels
    bool same() const { return same_size && differing == 0; }
};

// Two pixels differ by the largest of their four channel differences; two
// pixels that are both wholly see-through are the same whatever colour
// they carry.
PictureDifference compare_pictures(const StraightPicture& a, const StraightPicture& b, int tolerance);

// "1 of 65536 pixels differ by more than 0: by up to 255, in the box 10, 20, 1 x 1",
// "the same size, 256 x 256, is not 278 x 278".
std::string difference_text(const PictureDifference& difference, const StraightPicture& a,
                            const StraightPicture& b, int tolerance);

// `a` dimmed to grey with each pixel that differs from `b` in red (the
// brighter, the larger its difference) and the box around them outlined in
// yellow. Only for pictures of the same size.
Image difference_picture(const StraightPicture& a, const StraightPicture& b, int tolerance,
                         const PictureDifference& difference);

}  // namespace panelhost
