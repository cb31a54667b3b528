// OpenGL 1.1 and GLU, the only graphics headers the core includes.
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>

#ifndef GL_CLAMP
#define GL_CLAMP 0x2900
#endif
