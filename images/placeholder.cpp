// TEMPORARY stand-in until image loading and disc drawing land.
#include "discs/disc_field.h"
#include "images/jpeg_resource.h"

bool uploadTexture(TextureImage&) { return true; }
bool loadJpegResource(TextureImage&, const char*) { return false; }
void DiscField::beginDiscDrawing(bool) {}
void DiscField::drawDiscs() {}
void DiscField::endDiscDrawing() {}
