// Decodes a named JPEG resource from memory with libjpeg and uploads it as a texture.
#pragma once

#include "images/texture_image.h"

// False on any failure (no such resource, not a JPEG, damaged data); the texture name then stays 0.
bool loadJpegResource(TextureImage& image, const char* name);
