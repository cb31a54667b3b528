// The --fps readout of the X11 host (declared in x11_host.h): frames per second over the last second and the
// mean time a frame took to draw, white on a black shadow in the lower left corner, in the "fixed" X font.
#include "host/x11/x11_host.h"

#include <GL/glx.h>

#include <cstdio>
#include <ctime>
#include <initializer_list>

namespace {

constexpr int firstChar = 32, charCount = 96;  // printable ASCII
constexpr int margin = 8;
constexpr uint64_t sampleLength = 1000000;     // microseconds between updates of the numbers

uint64_t microseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000u + uint64_t(now.tv_nsec) / 1000u;
}

}  // namespace

FrameRateReadout::FrameRateReadout() : sampleStart(microseconds()) {
    font = XLoadQueryFont(saverDisplay, "fixed");
    if (!font) return;
    listBase = glGenLists(charCount);
    glXUseXFont(font->fid, firstChar, charCount, int(listBase));
}

FrameRateReadout::~FrameRateReadout() {
    if (!font) return;
    glDeleteLists(listBase, charCount);
    XFreeFont(saverDisplay, font);
}

void FrameRateReadout::frameStarts() { started = microseconds(); }

void FrameRateReadout::frameEnds() {
    const uint64_t now = microseconds();
    busy += now - started;
    ++frames;
    if (now - sampleStart < sampleLength) return;
    std::snprintf(lines[0], sizeof lines[0], "FPS: %.1f", double(frames) * 1e6 / double(now - sampleStart));
    std::snprintf(lines[1], sizeof lines[1], "Frame: %.1f ms", double(busy) / 1000.0 / frames);
    sampleStart = now;
    busy = 0;
    frames = 0;
}

// From the current raster position. A blank only moves it on: the glyph lists of an empty character
// may carry no advance.
void FrameRateReadout::drawText(const char* text) const {
    for (const char* c = text; *c; ++c) {
        if (*c == ' ') glBitmap(0, 0, 0.0f, 0.0f, float(font->max_bounds.width), 0.0f, nullptr);
        else glCallList(listBase + unsigned(static_cast<unsigned char>(*c) - firstChar));
    }
}

// Window pixels with y up, no depth test, texture, blending or clipping; everything is put back afterwards.
void FrameRateReadout::draw(int width, int height) const {
    if (!font) return;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    for (GLenum capability : {GL_DEPTH_TEST, GL_TEXTURE_2D, GL_BLEND, GL_ALPHA_TEST, GL_LIGHTING, GL_FOG})
        glDisable(capability);
    for (GLenum plane = GL_CLIP_PLANE0; plane <= GL_CLIP_PLANE5; ++plane) glDisable(plane);

    const int lineHeight = font->ascent + font->descent + 2;
    for (int line = 0; line < 2; ++line) {
        const int y = margin + font->descent + (1 - line) * lineHeight;
        glColor3f(0.0f, 0.0f, 0.0f);
        glRasterPos2i(margin + 1, y - 1);
        drawText(lines[line]);
        glColor3f(1.0f, 1.0f, 1.0f);
        glRasterPos2i(margin, y);
        drawText(lines[line]);
    }

    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();  // the matrix mode too
}
