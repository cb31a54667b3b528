// An off-screen OpenGL context on Mesa (OSMesa) for headless renders and tests.
#pragma once

#include <cstdint>
#include <vector>

struct osmesa_context;

class OffscreenContext {
public:
    // RGBA with a 24-bit depth buffer; made current at once. Check ok() before drawing.
    OffscreenContext(int width, int height);
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    bool ok() const { return context != nullptr && current; }
    int width() const { return w; }
    int height() const { return h; }
    bool makeCurrent();

    // Finishes drawing; returns RGBA rows, bottom row first (OpenGL order).
    const std::vector<uint8_t>& pixels();
    // One RGBA pixel at (x, y), y counted from the bottom.
    const uint8_t* pixel(int x, int y);

private:
    osmesa_context* context = nullptr;
    bool current = false;
    int w, h;
    std::vector<uint8_t> buffer;
};
