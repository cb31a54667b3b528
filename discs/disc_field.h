// The disc field: sixty discs, their palette drift, spawning, motion, collisions and tuning keys.
#pragma once

#include <cstdint>
#include <memory>

#include "images/texture_image.h"

class Kaleidoscope;

struct Vec3 {
    float x, y, z;
};

struct Palette {
    float hueCentre;
    float hueSpread;
    float saturationCentre;
    float saturationSpread;
    float valueCentre;
    float valueSpread;
};

struct Rgb {
    float red, green, blue;
};

Rgb hsvToRgb(float h, float s, float v);

class Disc {
public:
    Vec3 position;
    Vec3 velocity;
    Vec3 force;
    float phase;
    float birthTime;
    float size;
    float spinAngle;
    int32_t cell;
    float cellU;
    float cellV;
    float cellWidth;
    float cellHeight;
    float color[4];
    float colorPulse[4];

    void spawn(int32_t index);
    void renew();
    void age();
    // The tint of this moment of the disc's life: its colour plus the pulse share of colorPulse.
    void pulseColor(float out[4]) const;
    void drawDisc(const float tint[4]);
};

constexpr int32_t discCount = 60;

class DiscField {
public:
    std::unique_ptr<Disc[]> discs;
    Kaleidoscope& scene;
    Palette palette;
    float spinRate;
    int32_t paletteStep;
    int32_t paletteSteps;
    bool sameCell;
    Palette paletteStart;
    Palette paletteDelta;
    int32_t sharedCell;
    int32_t cellCount;
    int32_t targetWedgeCount;
    float wedgeGlideSpeed;
    bool wedgeGlide;
    std::unique_ptr<TextureImage[]> images;  // [0] disc atlas, [2] logo; [1] never loaded

    explicit DiscField(Kaleidoscope& owner);
    ~DiscField();  // needs the OpenGL context that setup ran on
    DiscField(const DiscField&) = delete;
    DiscField& operator=(const DiscField&) = delete;

    void setup();
    void loadTextures();
    void spawnAll();
    void step();
    void newPaletteTarget(float seconds);
    void stepPalette();
    void handleTuningKey(uint32_t key);
    void setWedgeZoom(float zoom);

    // A pass: beginDiscDrawing fixes every disc's tint for the pass, drawDiscs draws the field once per
    // copy with those tints, endDiscDrawing ends it. Discs changed during a pass keep the pass's tints.
    void beginDiscDrawing(bool drawLogo);
    void drawDiscs();
    void endDiscDrawing();

    float passTints[discCount][4];  // beginDiscDrawing's tints, one per disc
};

extern DiscField* currentDiscField;
