// Decodes a named JPEG resource from memory with libjpeg and uploads it as a texture (jpeg_resource.cpp).
#pragma once

#include <csetjmp>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

#include "images/texture_image.h"

// The compressed bytes of one resource; the bytes themselves belong to the executable.
struct ResourceBuffer {
    uint32_t readPosition;  // always 0: the source manager keeps the read position
    uint32_t byteCount;
    const unsigned char* bytes;
};

// libjpeg source manager reading one ResourceBuffer; allocated from the decompressor's permanent pool.
struct MemorySource {
    jpeg_source_mgr pub;
    ResourceBuffer* resourceBuffer;
};

// libjpeg's standard error manager whose fatal exit jumps back into the loader.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf recoveryPoint;
};

// Gives a created decompressor a MemorySource over the buffer (reusing one it already has).
void installMemorySource(j_decompress_ptr decompressor, ResourceBuffer* buffer);

// error_exit replacement: writes the library's message, then jumps to the manager's recoveryPoint.
void recoverFromJpegError(j_common_ptr decompressor);

// False on any failure (no such resource, not a JPEG, damaged data); the texture name then stays 0.
bool loadJpegResource(TextureImage& image, const char* name);
