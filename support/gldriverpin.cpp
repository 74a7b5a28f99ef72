#include "gldriverpin.h"

#include <QByteArray>

#ifdef __ELF__
#include <dlfcn.h>
#include <link.h>

namespace {

int pinIfGlDriver(dl_phdr_info *info, size_t, void *)
{
    if (QByteArray(info->dlpi_name).endsWith("_dri.so")) {
        // Already loaded: RTLD_NOLOAD only marks it never to be unloaded.
        // The reference this takes is never given back, on purpose.
        dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
    return 0;
}

} // namespace

void keepGlDriverLoaded()
{
    dl_iterate_phdr(pinIfGlDriver, nullptr);
}
#else
// Where libraries are not ELF objects, leak checkers are another story.
void keepGlDriverLoaded()
{
}
#endif
