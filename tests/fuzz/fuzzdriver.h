#ifndef FUZZDRIVER_H
#define FUZZDRIVER_H

#include "fuzzinput.h"

// The OpenCL query functions of a driver whose every answer (status,
// count, size, bytes) comes from the fuzzer. It keeps the one promise real
// drivers keep: it never writes more than the caller's buffer holds.
void setFuzzDriverInput(FuzzInput *input);

#endif
