// Several views in one window, read back from the framebuffer: each copy whole and centred on its view,
// mirror-symmetric about its own centre line, its logo in its own lower right corner, nothing outside.
#include "support/scene_fixture.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {
class SceneViews : public SceneTest {
protected:
    SceneViews() { width = 352, height = 176; }
    // The brightest channel of the pixel at (x, y), y counted from the bottom.
    int light(int x, int y) {
        const uint8_t* p = context->pixel(x, y);
        return std::max({p[0], p[1], p[2]});
    }
};
}  // namespace

// The logo lies in a view's lowest 7 per cent; a band as high at the top keeps the rest symmetric both ways.
// The whole window's viewport is back after the frame, for whatever draws next.
TEST_F(SceneViews, EachCopyWholeCentredSymmetricWithItsLogoAndNothingOutside) {
    const PixelRect views[] = {{0, 32, 192, 144}, {192, 0, 160, 128}};  // GL rows 0..143 and 48..175
    scene->setViews({views[0], views[1]});
    for (int i = 0; i < 60; ++i) frameAfter(42);  // past the first wedge transition: an even count, settled
    ASSERT_FALSE(scene->transitionActive);
    context->pixels();
    for (const PixelRect& v : views) {
        const int bottom = height - v.y - v.height, band = v.height * 8 / 100;
        int worst = 0, logo = 0;
        double mass = 0, cx = 0, cy = 0, xx = 0, yy = 0;  // yy and xx: second moments within a centred circle
        const double r = v.height / 2.0 - band;
        for (int y = bottom + band; y < bottom + v.height - band; ++y)
            for (int x = 0; x < v.width; ++x) {
                const int l = light(v.x + x, y);
                worst = std::max(worst, std::abs(l - light(v.x + v.width - 1 - x, y)));
                mass += l, cx += l * (x + 0.5), cy += l * (y - bottom + 0.5);
                const double dx = x + 0.5 - v.width / 2.0, dy = y - bottom + 0.5 - v.height / 2.0;
                if (dx * dx + dy * dy < r * r) xx += l * dx * dx, yy += l * dy * dy;
            }
        for (int y = bottom; y < bottom + band; ++y)
            for (int x = v.width * 3 / 4; x < v.width; ++x)
                logo += light(v.x + x, y) > light(v.x + v.width - 1 - x, y) + 8;  // brighter than its mirror
        EXPECT_LE(worst, 4) << "view at " << v.x;
        EXPECT_NEAR(cx / mass, v.width / 2.0, 1.0) << "view at " << v.x;
        EXPECT_NEAR(cy / mass, v.height / 2.0, 1.0) << "view at " << v.x;
        EXPECT_NEAR(xx / yy, 1.0, 0.1) << "view at " << v.x << ": not round, so not in the view's proportions";
        EXPECT_GT(mass / (v.width * v.height), 20) << "view at " << v.x;
        EXPECT_GT(logo, 40) << "view at " << v.x;
    }
    // Below the right view and above the left one: the clear colour (black), untouched by either glow.
    int outside = 0;
    for (auto [left, bottom, w, h] : {std::array{192, 0, 160, 48}, std::array{0, 144, 192, 32}})
        for (int y = bottom; y < bottom + h; ++y)
            for (int x = left; x < left + w; ++x) outside = std::max(outside, light(x, y));
    EXPECT_EQ(outside, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_TRUE(viewport[0] == 0 && viewport[1] == 0 && viewport[2] == width && viewport[3] == height);
}
