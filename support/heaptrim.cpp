#include "heaptrim.h"

#include <cstdlib> // names the C library: __GLIBC__

#ifdef __GLIBC__
#include <malloc.h>
#endif

void returnFreedHeapPages()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

void keepFreedHeapTop(unsigned long bytes)
{
#ifdef __GLIBC__
    mallopt(M_TRIM_THRESHOLD, int(bytes));
#else
    (void)bytes;
#endif
}
