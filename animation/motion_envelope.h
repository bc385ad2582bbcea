// Keyframed envelopes: the value of a motion channel at a time.
#pragma once

#include "assets/scene.h"

double evaluateChannel(const MotionChannel* channel, float t);
double outgoingTangent(const MotionKey* k0, const MotionKey* k1, const MotionKey* kPrev);
double incomingTangent(const MotionKey* k0, const MotionKey* k1, const MotionKey* kNext);
double evaluateBezierSegment(const MotionKey* k0, const MotionKey* k1, float t);

// The search for the curve parameter gives up after this many halvings.
constexpr int bezierMaxHalvings = 64;
