// Texture upload on a real Mesa context: formats, the full mipmap chain, filters, wrap and release.
#include "support/scene_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "images/texture_image.h"

namespace {
GLint level(GLint index, GLenum what) {
    GLint value = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, index, what, &value);
    return value;
}
}  // namespace

using TextureUpload = GlTest;

// 24 bits keep their colour; any other depth is a mask, one alpha byte per pixel, rows first row first.
// Every level down to 1 x 1 is built, filtered trilinearly, repeating, and the pixels are released.
TEST_F(TextureUpload, MipmappedTextureInTheFormatOfItsDepth) {
    struct Case { uint32_t width, height; int32_t bits; GLenum format; int components; };
    for (Case c : {Case{512, 64, 8, GL_ALPHA, 1}, Case{16, 8, 24, GL_RGB, 3}, Case{8, 8, 32, GL_ALPHA, 1}}) {
        SCOPED_TRACE(c.bits);
        const size_t texels = size_t(c.width) * c.height;
        auto* pixels = static_cast<unsigned char*>(std::malloc(texels * size_t(c.bits / 8)));
        for (size_t i = 0; i < texels * size_t(c.bits / 8); ++i) pixels[i] = (unsigned char)(i * 7);
        const std::vector<unsigned char> expected(pixels, pixels + texels * size_t(c.components));
        TextureImage image{pixels, c.bits, c.width, c.height, 0};
        EXPECT_TRUE(uploadTexture(image));
        EXPECT_EQ(image.pixels, nullptr);

        GLint mode = 0, min = 0, wrap = 0;  // of the texture the upload left bound
        for (GLint i = 0; (c.width >> i) > 0; ++i) {
            EXPECT_EQ(level(i, GL_TEXTURE_WIDTH), GLint(c.width >> i)) << i;
            EXPECT_EQ(level(i, GL_TEXTURE_HEIGHT), std::max(GLint(c.height >> i), 1)) << i;
            EXPECT_EQ(level(i, GL_TEXTURE_INTERNAL_FORMAT), GLint(c.format)) << i;
        }
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
        EXPECT_EQ(min, GL_LINEAR_MIPMAP_LINEAR);
        EXPECT_EQ(wrap, GL_REPEAT);
        EXPECT_EQ(mode, GL_MODULATE);

        std::vector<unsigned char> level0(expected.size());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, c.format, GL_UNSIGNED_BYTE, level0.data());
        EXPECT_EQ(level0, expected);
    }
}
