#ifndef BENCHOPTIONS_H
#define BENCHOPTIONS_H

#include <string>
#include <vector>

// What the user asked korvane-bench to do.
struct BenchOptions
{
    // Both -1 means every device; otherwise the selectors' indexes.
    int platformIndex = -1;
    int deviceIndex = -1;
    bool json = false;
    bool quick = false;
    bool gui = false;
    bool help = false;
    // Empty: the kernel sources embedded in the program. Otherwise a folder
    // holding simplGL.cl, PostprocessGL.cl and NBody_Kernels.cl, so that a
    // kernel author can compare an edited kernel with the built-in one.
    std::string kernelDir;

    bool allDevices() const { return platformIndex < 0; }
};

// Parses the arguments after the program name. On failure returns false
// and leaves a one-line reason in error; options then holds what was read.
bool parseBenchArguments(const std::vector<std::string> &arguments, BenchOptions &options,
                         std::string &error);

// Reads "P:D" (two non-negative decimal indexes). False when malformed.
bool parseDeviceIndexes(const std::string &text, int &platformIndex, int &deviceIndex);

// The --help text.
std::string benchUsage(const std::string &programName);

#endif
