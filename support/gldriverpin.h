#ifndef GLDRIVERPIN_H
#define GLDRIVERPIN_H

// The OpenGL driver (Mesa's *_dri.so) is unloaded when Qt closes its
// display connection, before a leak checker looks at the process: blocks
// that only the driver's globals point to would then look lost, and the
// stacks that made them would name no module. Run at the end of the
// application, this keeps whatever driver the program loaded mapped to the
// end, so that its globals stay roots. It loads nothing itself: a program
// that made no OpenGL context keeps none.
void keepGlDriverLoaded();

#endif
