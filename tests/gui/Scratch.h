// A scratch folder of the test's own, removed with everything in it at the end, and the
// user's settings kept out of the way for as long as it lives: on Linux the settings
// folder is pointed into the scratch folder (XDG_CONFIG_HOME), on Windows the settings key
// in the registry is emptied before and after (the tests that use it run one at a time).
#pragma once

#include <string>

namespace guitest {

class Scratch {
public:
    Scratch();
    ~Scratch();
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;

    // The folder, with its trailing separator.
    const std::string& folder() const { return root; }

private:
    std::string root;
};

}  // namespace guitest
