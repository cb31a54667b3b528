// A decoded image on its way to an OpenGL texture, and the upload that makes the texture.
#pragma once

#include <cstdint>

struct TextureImage {
    unsigned char* pixels;  // malloc'd rows, top row first; freed by uploadTexture
    int32_t bitsPerPixel;   // 8 for grayscale, 24 for RGB
    uint32_t width;
    uint32_t height;
    uint32_t texture;       // OpenGL texture name, 0 while there is none
};

// Makes a mipmapped texture (alpha for masks, RGB for 24-bit images) and frees the pixels. Always true.
bool uploadTexture(TextureImage& image);
