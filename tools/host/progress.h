// A one-line progress bar on standard error: frames done, fields per second
// and time left. Silent when standard error is not a terminal.
#pragma once

#include <chrono>
#include <string>

namespace zask {

class Progress {
public:
    Progress(std::string label, long long total, bool quiet);
    ~Progress();  // ends the line
    void update(long long done);

private:
    std::string label_;
    long long total_;
    bool active_;
    std::chrono::steady_clock::time_point start_, lastDraw_;
    bool drawn_ = false;
};

}  // namespace zask
