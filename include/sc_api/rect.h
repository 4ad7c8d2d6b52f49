#pragma once

// A sub-rectangle of the pixel grid: columns x .. x+width-1, rows y .. y+height-1.
struct Rect {
    unsigned int x = 0;
    unsigned int y = 0;
    unsigned int width = 0;
    unsigned int height = 0;
};
