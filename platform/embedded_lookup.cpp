// Finds an image in the build's embedded table; shared by the native platform implementations.
#include <cstring>

#include "platform/embedded_resources.h"
#include "platform/platform.h"

namespace platform {

bool findEmbeddedResource(const char* name, ResourceData& out) {
    for (size_t i = 0; i < embeddedResourceCount; ++i) {
        if (std::strcmp(embeddedResources[i].name, name) == 0) {
            out.bytes = embeddedResources[i].bytes;
            out.size = embeddedResources[i].size;
            return true;
        }
    }
    return false;
}

}  // namespace platform
