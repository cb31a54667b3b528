// The scene: clock and pacing, wedge geometry, mirrored drawing, frame driver and glow over one disc field.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class DiscField;

// A rectangle of window pixels: origin at the window's top left, y pointing down.
struct PixelRect {
    int32_t x, y, width, height;
};

inline bool operator==(const PixelRect& a, const PixelRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

// Windows virtual-key codes the scene and the disc field understand.
namespace vk {
constexpr uint32_t space = 32, left = 37, up = 38, right = 39, down = 40;
constexpr uint32_t digit0 = 48, digit9 = 57, keyG = 71, keyM = 77, keyS = 83;
}  // namespace vk

// Bit of the frame options word that asks for the mirrored copies.
constexpr uint32_t frameOptionMirrors = 0x10000;

class Kaleidoscope {
public:
    float geometryAngle;
    int32_t wedgesToDraw;
    double clipPlane0[4];
    double clipPlane1[4];
    double partialPlane0[4];
    double partialPlane1[4];
    bool hasPartialWedge;
    std::unique_ptr<DiscField> discField;
    int32_t viewportWidth;
    int32_t viewportHeight;
    bool mirrorThisFrame;
    float measuredFps;
    float clockSeconds;
    float lastKeyTime;
    float transitionStart;
    float transitionDuration;
    float transitionFrom;
    float transitionTo;
    bool transitionActive;
    float lastFpsSampleTime;
    int32_t framesSinceSample;
    int32_t targetFps;
    int32_t sleepMs;
    bool mirrorsOff;
    bool glowOff;
    float wedgeAngle;
    float wedgeCount;
    // Where a copy of the picture goes, one per monitor; empty: one picture over the whole window.
    std::vector<PixelRect> views;

    // Needs a current OpenGL context; the scene stays bound to it until destroyed.
    Kaleidoscope(int32_t width, int32_t height);
    ~Kaleidoscope();
    Kaleidoscope(const Kaleidoscope&) = delete;
    Kaleidoscope& operator=(const Kaleidoscope&) = delete;

    // A new window size: viewport and projection only; the animation and the textures carry on.
    void resize(int32_t width, int32_t height);
    // One complete copy of the picture per rectangle, each centred on its own; set after resize.
    void setViews(const std::vector<PixelRect>& rects);
    bool oneWindowPicture() const;
    void setPerspective(int32_t width, int32_t height);
    void startClock();
    void updateClock();
    void buildWedges(float angle);
    void drawWedges(bool drawLogo);
    bool drawFrame(uint32_t options);
    void update(uint32_t options);
    void advance();
    void stepTransition();
    void chooseWedgeCount();
    bool handleKey(uint32_t code);
    void toggleMirrors();
    void toggleGlow();
    void drawView(const PixelRect& view, bool glowOn);
    void captureGlow();
    void captureGlowAt(int32_t left, int32_t bottom);
    void captureGlowInView(int32_t left, int32_t bottom, int32_t width, int32_t height);
    void drawGlow(int32_t layers, float inset);
    void beginOverlay2D();
    void endOverlay2D();
};

extern Kaleidoscope* currentScene;
extern bool glowAvailable;
extern uint32_t glowTexture;
extern int64_t counterOrigin;
extern int64_t counterFrequency;

// The glow needs both extensions, found by plain substring search as drivers have always been tested.
bool extensionsOfferGlow(const char* extensions);
