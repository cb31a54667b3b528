// A current OSMesa context for tests; see current_gl.h.
#include "support/current_gl.h"

#include "tools/osmesa_context.h"

std::shared_ptr<void> makeCurrentGl(int width, int height) {
    auto context = std::make_shared<OffscreenContext>(width, height);
    return context->ok() ? context : nullptr;
}
