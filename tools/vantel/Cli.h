// What the sub-commands of `vantel` share: argument handling, finding the plug-in,
// choosing a program and setting parameters by name, and the built-in demo signal.
#pragma once

#include "TestHost.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace vantel {

// A failure to report to the person: the message is a sentence; main prints it to stderr
// and exits with status 1.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Simple option reading: "--name value" and "--name=value", options anywhere.
class Args {
public:
    explicit Args(std::vector<std::string> args) : args_(std::move(args)) {}
    bool flag(const std::string& name);                        // removes it if present
    bool value(const std::string& name, std::string& out);     // last occurrence wins
    std::vector<std::string> values(const std::string& name);  // every occurrence, in order
    // What is left once every option has been taken; unknown options are an error.
    std::vector<std::string> positionals() const;
    const std::vector<std::string>& all() const { return args_; }

private:
    std::vector<std::string> args_;
};

double parseNumber(const std::string& text, const std::string& what);
long parseInteger(const std::string& text, const std::string& what, long min, long max);

// The plug-in to load when none is named: $VANTEL_PLUGIN, else Vantel.so next to this
// executable, else the one installed with it (../lib/lxvst from its folder), else the one
// this build made.
std::string defaultPluginPath();

// "N" or a program name (exact, then ignoring case) -> index in the plug-in's program list.
int findProgram(testhost::Plugin& plugin, const std::string& wanted);
// Makes program `index` current (see the definition for how), or throws Failure.
void selectProgram(testhost::Plugin& plugin, int index);
// Each "NAME=VALUE" (normalised value) through setParameter, or throws Failure.
void applySettings(testhost::Plugin& plugin, const std::vector<std::string>& settings);

// The demo signal: a few seconds of plucked notes over a drum-like pattern, stereo,
// identical on every run for a given sample rate.
testhost::Channels<float> demoSignal(double sampleRate);

// --chunk, --bank, --program, --preset, --midi (with --reversed) and --set, in that order:
// the state a session would restore, then a program, then single settings.
void applyStateOptions(testhost::Plugin& plugin, Args& args);
// Moves those options out of `args` into an Args of their own.
Args takeStateOptions(Args& args);

int runInfo(Args args);
int runConvert(Args args);
int runRender(Args args);
int runBench(Args args, const std::string& self);
int runStress(Args args);
int runSweep(Args args);  // vantel stress --sweep
int runPlot(Args args);
int runShot(Args args);

}  // namespace vantel
