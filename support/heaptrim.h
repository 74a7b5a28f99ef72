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

// Lets the heap keep up to `bytes` of free memory at its top between
// frames instead of handing it back at every free: the software OpenGL
// driver frees and takes again several megabytes a frame, and giving the
// pages back each time has every frame fault them in anew (the sine-wave
// view ran at a third of its rate). returnFreedHeapPages still returns
// them. Does nothing where the C library offers no such setting.
void keepFreedHeapTop(unsigned long bytes);

#endif // HEAPTRIM_H
