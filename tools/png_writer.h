// Writes RGBA pictures as PNG files through libpng, for the headless renderer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// `rgba` holds width x height pixels, bottom row first (OpenGL order). The file is an opaque RGB
// picture, top row first: the framebuffer's alpha is blending residue, not transparency.
bool writePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba);
