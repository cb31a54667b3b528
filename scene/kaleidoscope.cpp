// Scene construction and teardown: seeding, viewport and projection, disc field, depth state, glow texture.
#include "scene/kaleidoscope.h"

#include <cstring>
#include <vector>

#include "discs/disc_field.h"
#include "platform/gl.h"
#include "platform/platform.h"
#include "scene/random.h"

Kaleidoscope* currentScene = nullptr;
bool glowAvailable = false;
uint32_t glowTexture = 0;

namespace {
constexpr int glowSize = 128;

void createGlowTexture() {
    std::vector<unsigned char> zeros(glowSize * glowSize * 4, 0);
    GLuint name = 0;
    glGenTextures(1, &name);
    glowTexture = name;
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, 4, glowSize, glowSize, 0, GL_RGBA, GL_UNSIGNED_BYTE, zeros.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}
}  // namespace

bool extensionsOfferGlow(const char* extensions) {
    return extensions && std::strstr(extensions, "GL_EXT_compiled_vertex_array") &&
           std::strstr(extensions, "GL_ARB_multitexture");
}

Kaleidoscope::Kaleidoscope(int32_t width, int32_t height)
    : geometryAngle(0), wedgesToDraw(0), clipPlane0{}, clipPlane1{}, partialPlane0{}, partialPlane1{},
      hasPartialWedge(false), viewportWidth(width), viewportHeight(height), mirrorThisFrame(true),
      measuredFps(0), clockSeconds(0), lastKeyTime(0), transitionStart(0), transitionDuration(0),
      transitionFrom(0), transitionTo(0), transitionActive(false), lastFpsSampleTime(0),
      framesSinceSample(0), targetFps(24), sleepMs(74), mirrorsOff(false), glowOff(false),
      wedgeAngle(36.0f), wedgeCount(10.0f) {
    currentScene = this;

    // Only 256 different sequences exist; the first value is thrown away.
    crt::srand(uint32_t(platform::calendarSeconds() % 256));
    crt::rand();

    buildWedges(36.0f);
    resize(width, height);
    mirrorThisFrame = true;
    startClock();

    discField = std::make_unique<DiscField>(*this);
    discField->setup();

    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);

    glowAvailable = extensionsOfferGlow(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)));
    if (glowAvailable) createGlowTexture();
}

// A 90-degree vertical field of view whatever the aspect; the glow capture restores this viewport.
void Kaleidoscope::resize(int32_t width, int32_t height) {
    viewportWidth = width;
    viewportHeight = height;
    glViewport(0, 0, width, height);
    setPerspective(width, height);
}

void Kaleidoscope::setPerspective(int32_t width, int32_t height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(90.0, double(width) / double(height), 1.0, 20.0);
    glMatrixMode(GL_MODELVIEW);
}

// Copied once here, so that a frame allocates nothing.
void Kaleidoscope::setViews(const std::vector<PixelRect>& rects) { views = rects; }

// A single view over exactly the whole window is the plain picture, drawn as without views.
bool Kaleidoscope::oneWindowPicture() const {
    return views.empty() || (views.size() == 1 && views[0] == PixelRect{0, 0, viewportWidth, viewportHeight});
}

// The disc field deletes its textures here, while the context is still current. The glow texture
// goes with the context, which the host deletes right after.
Kaleidoscope::~Kaleidoscope() { discField.reset(); }
