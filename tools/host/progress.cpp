#include "tools/host/progress.h"

#include <unistd.h>

#include <cstdio>

namespace zask {

Progress::Progress(std::string label, long long total, bool quiet)
    : label_(std::move(label)), total_(total), active_(!quiet && isatty(STDERR_FILENO) == 1),
      start_(std::chrono::steady_clock::now()), lastDraw_(start_) {}

Progress::~Progress() {
    if (drawn_) std::fputc('\n', stderr);
}

void Progress::update(long long done) {
    if (!active_) return;
    auto now = std::chrono::steady_clock::now();
    // A tenth of a second between redraws keeps the terminal calm.
    if (drawn_ && done < total_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    drawn_ = true;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double fieldsPerSecond = seconds > 0 ? 2.0 * done / seconds : 0.0;
    const int width = 30;
    const int filled = total_ > 0 ? static_cast<int>(width * done / total_) : width;
    char bar[width + 1];
    for (int i = 0; i < width; ++i) bar[i] = i < filled ? '#' : '.';
    bar[width] = '\0';
    char left[32] = "--:--";
    if (done > 0 && fieldsPerSecond > 0) {
        long long remaining = static_cast<long long>(2.0 * (total_ - done) / fieldsPerSecond + 0.5);
        std::snprintf(left, sizeof left, "%lld:%02lld", remaining / 60, remaining % 60);
    }
    std::fprintf(stderr, "\r%s [%s] %lld/%lld frames  %.1f fields/s  %s left ", label_.c_str(), bar, done, total_,
                 fieldsPerSecond, left);
    std::fflush(stderr);
}

}  // namespace zask
