// Texture upload on a real Mesa context: formats, the full mipmap chain, filters, wrap and release.
#include "support/scene_fixture.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "images/texture_image.h"

namespace {

// A malloc'd image as the loader leaves it; byte i of the block holds (i * 7) & 0xff.
TextureImage decoded(uint32_t width, uint32_t height, int32_t bitsPerPixel) {
    const size_t size = size_t(width) * height * size_t(bitsPerPixel / 8);
    auto* pixels = static_cast<unsigned char*>(std::malloc(size));
    for (size_t i = 0; i < size; ++i) pixels[i] = (unsigned char)(i * 7);
    return TextureImage{pixels, bitsPerPixel, width, height, 0};
}

GLint level(GLint index, GLenum what) {
    GLint value = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, index, what, &value);
    return value;
}

GLint parameter(GLenum what) {
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, what, &value);
    return value;
}

}  // namespace

using TextureUpload = GlTest;

TEST_F(TextureUpload, MaskBecomesMipmappedAlphaTexture) {
    TextureImage image = decoded(512, 64, 8);
    std::vector<unsigned char> expected(image.pixels, image.pixels + 512 * 64);
    EXPECT_TRUE(uploadTexture(image));
    EXPECT_EQ(image.pixels, nullptr);
    ASSERT_NE(image.texture, 0u);

    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), image.texture);
    // 512 x 64 halves down to 1 x 1 in ten levels; the height stops at 1 after six.
    for (GLint i = 0; i <= 9; ++i) {
        EXPECT_EQ(level(i, GL_TEXTURE_WIDTH), 512 >> i) << i;
        EXPECT_EQ(level(i, GL_TEXTURE_HEIGHT), std::max(64 >> i, 1)) << i;
        EXPECT_EQ(level(i, GL_TEXTURE_INTERNAL_FORMAT), GL_ALPHA) << i;
    }
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_T), GL_REPEAT);
    GLint mode = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(mode, GL_MODULATE);
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);

    // Level 0 holds the rows as given, first row first.
    std::vector<unsigned char> texels(512 * 64);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels, expected);
    GLuint name = image.texture;
    glDeleteTextures(1, &name);
}

// 24 bits keep their colour; any other depth (32 here) is read as one alpha byte per pixel.
TEST_F(TextureUpload, FormatFollowsBitsPerPixel) {
    TextureImage rgb = decoded(16, 8, 24);
    uploadTexture(rgb);
    EXPECT_EQ(level(0, GL_TEXTURE_INTERNAL_FORMAT), GL_RGB);
    EXPECT_EQ(level(4, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(rgb.pixels, nullptr);

    TextureImage wide = decoded(8, 8, 32);
    std::vector<unsigned char> firstBytes(wide.pixels, wide.pixels + 64);
    uploadTexture(wide);
    EXPECT_NE(wide.texture, rgb.texture);
    EXPECT_EQ(level(0, GL_TEXTURE_INTERNAL_FORMAT), GL_ALPHA);
    EXPECT_EQ(level(3, GL_TEXTURE_WIDTH), 1);
    std::vector<unsigned char> texels(64);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, texels.data());
    EXPECT_EQ(texels, firstBytes);
    GLuint names[2] = {rgb.texture, wide.texture};
    glDeleteTextures(2, names);
}
