// Texture upload: a decoded image becomes a mipmapped OpenGL texture (pairs with texture_image.h).
#include "images/texture_image.h"

#include <cstdlib>

#include "platform/gl.h"

bool uploadTexture(TextureImage& image) {
    // 24-bit images keep their colour; every other depth is a mask and becomes alpha.
    const GLenum format = image.bitsPerPixel == 24 ? GL_RGB : GL_ALPHA;
    const GLint components = format == GL_RGB ? 3 : 1;
    const GLsizei width = GLsizei(image.width), height = GLsizei(image.height);

    // Rows are tightly packed; with the default alignment of 4 an odd row length would be read past
    // its end, so such images are unpacked byte-aligned and the caller's alignment is put back.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    const bool packed = (size_t(width) * components) % size_t(alignment) != 0;
    if (packed) glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    glGenTextures(1, &image.texture);
    glBindTexture(GL_TEXTURE_2D, image.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), width, height, 0, format, GL_UNSIGNED_BYTE,
                 image.pixels);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GLint(format), width, height, format, GL_UNSIGNED_BYTE,
                      image.pixels);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);

    if (packed) glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    std::free(image.pixels);
    image.pixels = nullptr;
    return true;
}
