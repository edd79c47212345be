// The commands that the Windows build of vantel does not carry, with the reason.
#include "Cli.h"

namespace vantel {

int runStress(Args) {
    throw Failure("stress runs the plug-in in a child process made with fork, which Windows does not have; "
                  "run it with the Linux build.");
}

int runPlot(Args) { throw Failure("plot draws with cairo, which this Windows build leaves out; run it with the Linux build."); }

}  // namespace vantel
