// Which frame of the stream an update is. Hosts give the time in their own
// unit (ffmpeg milliseconds, MLT seconds), or none (ffmpeg hands frames
// without a timestamp a huge negative time), so frames are counted from the
// first update, and the time serves only to notice a jump (a seek) and where
// it went.
#pragma once

namespace zask::frei0r {

struct FrameClock {
    bool started = false;
    bool anchored = false;   // a usable time has been seen
    double anchorTime = 0.0; // the time of frame anchorFrame
    long long anchorFrame = 0;
    bool hasLast = false;    // the previous update had a usable time
    double last = 0.0;
    double step = 0.0;       // time between two frames; 0 until two timed updates in a row were seen
    long long frame = 0;     // frame number of the previous update
};

// The frame number of an update at `time`. An update without a usable time
// (not finite, or negative) is the next frame. The first two timed updates in
// a row set the step, when the time rises; a time that does not rise before
// the step is known starts the count again at 0. From then on an update one
// step (within half a step) after the previous one is the next frame, and any
// other time is a seek to the frame the time names, which may be negative.
long long advanceClock(FrameClock& clock, double time);

}  // namespace zask::frei0r
