// The disc field's lifecycle: construction, setup with its textures and discs, teardown.
#include "discs/disc_field.h"

#include "images/jpeg_resource.h"
#include "platform/gl.h"
#include "scene/kaleidoscope.h"
#include "scene/random.h"

DiscField* currentDiscField = nullptr;

// Draws in a fixed order: six palette entries, the cell mode, then the scene's two for its wedge count.
DiscField::DiscField(Kaleidoscope& owner)
    : scene(owner), palette{}, spinRate(0), paletteStep(0), paletteSteps(0), sameCell(false),
      paletteStart{}, paletteDelta{}, sharedCell(0), cellCount(8), targetWedgeCount(10),
      wedgeGlideSpeed(0), wedgeGlide(false), passTints{} {
    currentDiscField = this;
    palette.hueCentre = randomFraction();
    palette.hueSpread = randomFraction();
    palette.saturationCentre = randomFraction();
    palette.saturationSpread = randomFraction();
    palette.valueCentre = (randomFraction() + 1.0f) * 0.5f;
    palette.valueSpread = randomFraction() * 0.5f;
    sameCell = randomIndex(2) == 0;
    scene.chooseWedgeCount();
}

// Runs with the context still current; a field that was never set up has nothing to delete.
DiscField::~DiscField() {
    if (images) {
        GLuint atlas = images[0].texture;
        GLuint logo = images[2].texture;
        glDeleteTextures(1, &atlas);
        glDeleteTextures(1, &logo);
        images.reset();
    }
    discs.reset();
}

void DiscField::setup() {
    sharedCell = randomIndex(cellCount);
    discs = std::make_unique<Disc[]>(discCount);  // value-initialised: position, velocity, force zero
    loadTextures();
    spawnAll();
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

// A missing or damaged image leaves its texture name 0; the discs or the logo are then drawn plain.
void DiscField::loadTextures() {
    images = std::make_unique<TextureImage[]>(3);
    loadJpegResource(images[0], "JPEG_DISCS_MASK");
    loadJpegResource(images[2], "LOGO_MASK");
    glDisable(GL_LIGHTING);
}

void DiscField::spawnAll() {
    for (int32_t i = 0; i < discCount; ++i) discs[i].spawn(i);
}
