// OSMesa context for headless renders and tests; see osmesa_context.h.
#include "tools/osmesa_context.h"

#include <cstddef>

#include <GL/gl.h>
#include <GL/osmesa.h>

OffscreenContext::OffscreenContext(int width, int height)
    : w(width), h(height), buffer(size_t(width) * size_t(height) * 4) {
    context = OSMesaCreateContextExt(OSMESA_RGBA, 24, 0, 0, nullptr);
    makeCurrent();
}

OffscreenContext::~OffscreenContext() {
    if (context) OSMesaDestroyContext(context);
}

bool OffscreenContext::makeCurrent() {
    current = context && OSMesaMakeCurrent(context, buffer.data(), GL_UNSIGNED_BYTE, w, h);
    // OSMesa's default is top row first; keep OpenGL's bottom-up order for readbacks.
    if (current) OSMesaPixelStore(OSMESA_Y_UP, 1);
    return current;
}

const std::vector<uint8_t>& OffscreenContext::pixels() {
    glFinish();
    return buffer;
}

const uint8_t* OffscreenContext::pixel(int x, int y) {
    return pixels().data() + (size_t(y) * size_t(w) + size_t(x)) * 4;
}
