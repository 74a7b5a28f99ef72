// Mesa's software rasteriser is unloaded at exit, and leak reports for
// blocks it allocated would then name no module. Keeping it loaded for the
// life of every test program keeps those reports readable.
#include <dlfcn.h>

namespace {

const bool glDriverPinned = [] {
    return dlopen("swrast_dri.so", RTLD_NOW | RTLD_NODELETE) != nullptr
           || dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE) != nullptr;
}();

} // namespace
