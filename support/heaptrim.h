#ifndef HEAPTRIM_H
#define HEAPTRIM_H

// Hands the pages of the C library's heap that hold no live block back to
// the system. The OpenCL and OpenGL drivers allocate and free blocks of
// half a megabyte and more, aligned to pages, with every Start and every
// frame; the small blocks placed between them keep the heap from shrinking,
// and the holes they leave stay resident. Without this the program's
// resident size grows with every Start. Does nothing where the C library
// offers no such call.
void returnFreedHeapPages();

#endif // HEAPTRIM_H
