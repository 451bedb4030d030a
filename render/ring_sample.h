// The ring at one pixel: how strongly it covers the pixel, and its colour.
#pragma once

struct RingSample {
    double f;      // coverage, 0..opacity
    float red;     // ring colour, mixed from colour 2 (f = 0) to colour 1 (f = 1)
    float green;
    float blue;
};
