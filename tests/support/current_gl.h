// A current OpenGL context for tests that need one but read nothing back from it: OSMesa natively
// (current_gl_osmesa.cpp), a hidden window's WGL context on Windows (tests/win32/current_gl_wgl.cpp).
#pragma once

#include <memory>

// Made current at once; null when none could be made. The context lives as long as the handle.
std::shared_ptr<void> makeCurrentGl(int width, int height);
