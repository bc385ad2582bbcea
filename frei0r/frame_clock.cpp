#include "frei0r/frame_clock.h"

#include <cmath>

namespace zask::frei0r {

long long advanceClock(FrameClock& clock, double time) {
    if (!clock.started || !std::isfinite(time)) {
        clock.started = true;
        clock.origin = std::isfinite(time) ? time : 0.0;
        clock.last = clock.origin;
        clock.step = 0.0;
        clock.frame = 0;
        return 0;
    }
    if (clock.step == 0.0) {
        if (time > clock.last) {
            clock.step = time - clock.last;
            clock.frame += 1;
        } else {
            clock.origin = time;
            clock.frame = 0;
        }
    } else if (std::fabs(time - (clock.last + clock.step)) <= clock.step / 2) {
        clock.frame += 1;
    } else {
        clock.frame = std::llround((time - clock.origin) / clock.step);
    }
    clock.last = time;
    return clock.frame;
}

}  // namespace zask::frei0r
