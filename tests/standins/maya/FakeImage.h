#pragma once

// The image the fake plug-in yields for every file, top row first, RGBA.
// Each pixel differs in every byte, so a swapped channel or row shows.
namespace fakeimage {

const unsigned int kWidth = 3;
const unsigned int kHeight = 2;

const unsigned char kTopDownRgba[kHeight][kWidth][4] = {
    {{255, 0, 1, 255}, {2, 254, 3, 128}, {4, 5, 253, 0}},
    {{10, 20, 30, 40}, {50, 60, 70, 80}, {90, 100, 110, 120}},
};

}  // namespace fakeimage
