#include "frei0r/frame_clock.h"

#include <cmath>

namespace zask::frei0r {

long long advanceClock(FrameClock& clock, double time) {
    const bool timed = std::isfinite(time) && time >= 0.0;
    if (!clock.started) {
        clock.started = true;
        clock.frame = 0;
    } else if (!timed || !clock.hasLast) {
        clock.frame += 1;
    } else if (clock.step == 0.0) {
        if (time > clock.last) {
            clock.step = time - clock.last;
            clock.frame += 1;
        } else {
            clock.frame = 0;
            clock.anchored = false;
        }
    } else if (std::fabs(time - (clock.last + clock.step)) <= clock.step / 2) {
        clock.frame += 1;
    } else {
        clock.frame = clock.anchorFrame + std::llround((time - clock.anchorTime) / clock.step);
    }
    clock.hasLast = timed;
    if (timed) {
        clock.last = time;
        if (!clock.anchored) {
            clock.anchored = true;
            clock.anchorTime = time;
            clock.anchorFrame = clock.frame;
        }
    }
    return clock.frame;
}

}  // namespace zask::frei0r
