// TEMPORARY stand-in until the disc field lands: enough for the scene to construct, step and draw.
#include "discs/disc_field.h"
#include "scene/kaleidoscope.h"
#include "scene/random.h"

#include <GL/gl.h>

DiscField* currentDiscField = nullptr;

DiscField::DiscField(Kaleidoscope& owner)
    : scene(owner), palette{}, spinRate(0), paletteStep(0), paletteSteps(0), sameCell(false),
      paletteStart{}, paletteDelta{}, sharedCell(0), cellCount(8), targetWedgeCount(10),
      wedgeGlideSpeed(0), wedgeGlide(false) {
    currentDiscField = this;
    scene.chooseWedgeCount();
}
DiscField::~DiscField() = default;
void DiscField::setup() { glClearColor(0, 0, 0, 1); }
void DiscField::loadTextures() {}
void DiscField::spawnAll() {}
void DiscField::step() {}
void DiscField::newPaletteTarget(float) {}
void DiscField::stepPalette() {}
void DiscField::handleTuningKey(uint32_t key) { if (key == vk::down) scene.chooseWedgeCount(); }
void DiscField::setWedgeZoom(float) {}
