// Palette drift in eased segments, and the hue-saturation-value to red-green-blue conversion.
#include "discs/disc_field.h"
#include "scene/random.h"

namespace {
// The palette's six entries in drift order, with the range a new target is drawn from.
struct Entry {
    float Palette::*field;
    float (*drawTarget)();
};
float anyFraction() { return randomFraction(); }
float upperHalf() { return (randomFraction() + 1.0f) * 0.5f; }
float lowerHalf() { return randomFraction() * 0.5f; }
constexpr Entry entries[] = {
    {&Palette::hueCentre, anyFraction},        {&Palette::hueSpread, anyFraction},
    {&Palette::saturationCentre, anyFraction}, {&Palette::saturationSpread, anyFraction},
    {&Palette::valueCentre, upperHalf},        {&Palette::valueSpread, lowerHalf},
};
}  // namespace

// Each entry changes in a segment with probability 1/2; the cell mode flips with every segment.
// Segment lengths count steps at the nominal rate: 60 discs each wrapping once per 20 seconds.
void DiscField::newPaletteTarget(float seconds) {
    paletteSteps = int32_t(seconds * 60.0f * 0.05f);
    paletteStep = 0;
    sameCell = !sameCell;
    sharedCell = randomIndex(cellCount);
    for (const Entry& entry : entries) {
        paletteStart.*entry.field = palette.*entry.field;
        if (randomFraction() < 0.5f) {
            paletteDelta.*entry.field = entry.drawTarget() - paletteStart.*entry.field;
        } else {
            paletteDelta.*entry.field = 0.0f;
        }
    }
}

// The step that opens a segment leaves the palette where it is; the last one puts it on the target.
void DiscField::stepPalette() {
    ++paletteStep;
    if (paletteStep > paletteSteps) {
        newPaletteTarget(randomFraction() * 20.0f + 1.0f);
        paletteStep = 0;
    }
    const float x = float(paletteStep) / float(paletteSteps);
    const float e = x * x * (3.0f - 2.0f * x);
    for (const Entry& entry : entries) {
        palette.*entry.field = paletteStart.*entry.field + e * paletteDelta.*entry.field;
    }
}

// The sector position and its fraction stay in double precision; p, q and t are each rounded to float.
Rgb hsvToRgb(float h, float s, float v) {
    if (s == 0.0f) return {v, v, v};
    const float hue = h * 360.0f;
    const double sector = hue >= 360.0f ? 0.0 : double(hue) * 0.016666666666666666;
    const int32_t i = int32_t(sector);
    const double f = sector - double(i);
    const float p = v * (1.0f - s);
    const float q = float(double(v) * (1.0 - double(s) * f));
    const float t = float(double(v) * (1.0 - double(s) * (1.0 - f)));
    switch (i) {
    case 0: return {v, t, p};
    case 1: return {q, v, p};
    case 2: return {p, v, t};
    case 3: return {p, q, v};
    case 4: return {t, p, v};
    default: return {v, p, q};
    }
}
