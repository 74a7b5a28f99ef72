#include "benchoptions.h"

namespace {

bool parseIndex(const std::string &text, int &value)
{
    if (text.empty() || text.size() > 9)
        return false;
    long result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
    }
    value = int(result);
    return true;
}

} // namespace

bool parseDeviceIndexes(const std::string &text, int &platformIndex, int &deviceIndex)
{
    const std::string::size_type colon = text.find(':');
    if (colon == std::string::npos)
        return false;
    int platform = 0;
    int device = 0;
    if (!parseIndex(text.substr(0, colon), platform) || !parseIndex(text.substr(colon + 1), device))
        return false;
    platformIndex = platform;
    deviceIndex = device;
    return true;
}

bool parseBenchArguments(const std::vector<std::string> &arguments, BenchOptions &options,
                         std::string &error)
{
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        std::string value;
        bool hasInlineValue = false;
        std::string name = argument;
        const std::string::size_type equals = argument.find('=');
        if (argument.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            hasInlineValue = true;
        }

        const bool takesValue = name == "--device" || name == "--kernels";
        if (!takesValue && hasInlineValue) {
            error = "option " + name + " takes no value";
            return false;
        }
        if (takesValue && !hasInlineValue) {
            if (i + 1 >= arguments.size()) {
                error = "option " + name + " needs a value";
                return false;
            }
            value = arguments[++i];
        }

        if (name == "--device") {
            if (!parseDeviceIndexes(value, options.platformIndex, options.deviceIndex)) {
                error = "--device expects PLATFORM:DEVICE, two indexes such as 0:0, not \""
                        + value + "\"";
                return false;
            }
        } else if (name == "--kernels") {
            if (value.empty()) {
                error = "--kernels needs a folder";
                return false;
            }
            options.kernelDir = value;
        } else if (name == "--json") {
            options.json = true;
        } else if (name == "--quick") {
            options.quick = true;
        } else if (name == "--gui") {
            options.gui = true;
        } else if (name == "--help" || name == "-h") {
            options.help = true;
        } else {
            error = "unknown argument \"" + argument + "\"";
            return false;
        }
    }
    return true;
}

std::string benchUsage(const std::string &programName)
{
    return "Usage: " + programName + " [--device P:D] [--quick] [--json] [--gui] [--kernels DIR]\n"
           "\n"
           "Times the kernels sine_wave, nbody_sim and postprocess on every OpenCL device\n"
           "(or one) beside a multi-threaded host reference doing the same work, and\n"
           "prints one table per device.\n"
           "\n"
           "  --device P:D   only platform P, device D (indexes as in the program's selectors)\n"
           "  --quick        a few runs per figure instead of at least 0.5 s of runs\n"
           "  --json         print the figures as JSON instead of tables\n"
           "  --gui          run the program's window, start each tab for 5 s and print the\n"
           "                 frames per second each view reached beside the kernel-only rate\n"
           "  --kernels DIR  build DIR/simplGL.cl, DIR/PostprocessGL.cl and DIR/NBody_Kernels.cl\n"
           "                 instead of the sources built into the program\n"
           "  --help         this text\n";
}
