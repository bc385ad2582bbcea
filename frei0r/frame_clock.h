// Which frame of the stream an update is. Hosts give the time in their own
// unit (ffmpeg milliseconds, MLT seconds), so frames are counted from the first
// update, and the time serves only to notice a jump (a seek) and where it went.
#pragma once

namespace zask::frei0r {

struct FrameClock {
    bool started = false;
    double origin = 0.0;  // time of frame 0
    double last = 0.0;    // time of the previous update
    double step = 0.0;    // time between two frames; 0 until two updates were seen
    long long frame = 0;  // frame number of the previous update
};

// The frame number of an update at `time`. The second update in rising time
// sets the step; from then on an update one step (within half a step) after
// the previous one is the next frame, and any other time is a seek to the
// frame nearest (time - origin) / step, which may be negative. A time that does
// not rise before the step is known starts the count again at 0.
long long advanceClock(FrameClock& clock, double time);

}  // namespace zask::frei0r
