// A file written under a temporary name beside its final place and renamed
// into place when complete, so that an error never leaves half a file.
// "-" is standard output, written as it comes.
#pragma once

#include <cstdio>
#include <string>

namespace zask {

class OutputFile {
public:
    ~OutputFile();  // removes the temporary file unless committed

    // Creates the temporary file in the target's directory.
    bool open(const std::string& path, std::string& error);
    FILE* stream() const { return stream_; }
    // Flushes, closes and renames over the target.
    bool commit(std::string& error);

private:
    std::string path_;
    std::string temporary_;  // empty for standard output
    FILE* stream_ = nullptr;
};

}  // namespace zask
