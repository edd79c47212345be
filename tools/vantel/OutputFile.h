// A file the command writes whole or not at all. The content goes to a temporary file
// beside the target, made when the command starts (so a folder that cannot be written to
// fails at once, before any work), and replaces the target by a rename once complete: a
// failure, or an interruption, never leaves a partial or broken file under the name asked for.
#pragma once

#include <string>

namespace vantel {

class OutputFile {
public:
    // Throws Failure when nothing can be written next to `path`.
    explicit OutputFile(std::string path);
    ~OutputFile();  // removes the temporary file unless it was committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    const std::string& path() const { return path_; }
    // Where to write the content (an empty file to begin with).
    const std::string& temporary() const { return temporary_; }
    // Puts the temporary file in place of the target; throws Failure.
    void commit();

private:
    std::string path_, temporary_;
    bool committed_ = false;
};

}  // namespace vantel
