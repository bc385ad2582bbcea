// Key fields are floats; the evaluation runs in double except where single
// precision terms are named: TCB factors, sums and differences of two key
// fields, the time ratio r, the handle products and the segment denominator.
#include "animation/motion_envelope.h"

#include <cmath>

namespace {

constexpr float handleThreshold = 1e-5f;

double tangentFromHandle(const MotionKey* k0, const MotionKey* k1, float valueOffset,
                         float timeOffset)
{
    const float span = k1->time - k0->time;
    const float product = span * valueOffset;
    if (std::fabs(timeOffset) > handleThreshold)
        return static_cast<double>(product) / static_cast<double>(timeOffset);
    return static_cast<double>(product) * 100000.0;
}

// Cubic Bezier in polynomial form; terms beyond the control points in double.
struct CubicPolynomial {
    double a, b, c, z0;
};

CubicPolynomial bezierPolynomial(double z0, double z1, double z2, double z3)
{
    CubicPolynomial p;
    p.c = 3.0 * (z1 - z0);
    p.b = 3.0 * (z2 - z1) - p.c;
    p.a = z3 - z0 - p.c - p.b;
    p.z0 = z0;
    return p;
}

double evaluatePolynomial(const CubicPolynomial& p, double u)
{
    return p.a * u * u * u + p.b * u * u + p.c * u + p.z0;
}

}  // namespace

double outgoingTangent(const MotionKey* k0, const MotionKey* k1, const MotionKey* kPrev)
{
    const float d = k1->value - k0->value;
    float r = 0.0f;
    if (kPrev != nullptr)
        r = (k1->time - k0->time) / (k1->time - kPrev->time);
    switch (k0->shape) {
    case 0: {
        const float tension = k0->param[0], continuity = k0->param[1], bias = k0->param[2];
        const float a = (1.0f - tension) * (1.0f + continuity) * (1.0f + bias);
        const float b = (1.0f - tension) * (1.0f - continuity) * (1.0f - bias);
        if (kPrev == nullptr)
            return static_cast<double>(b) * static_cast<double>(d);
        const float previousDifference = k0->value - kPrev->value;
        return static_cast<double>(r) *
               (static_cast<double>(a) * static_cast<double>(previousDifference) +
                static_cast<double>(b) * static_cast<double>(d));
    }
    case 1:
    case 2:
        if (kPrev == nullptr)
            return k0->param[4];
        return static_cast<double>(k0->param[4]) * static_cast<double>(r);
    case 3:
        if (kPrev == nullptr)
            return d;
        return static_cast<double>(r) *
               (static_cast<double>(k0->value - kPrev->value) + static_cast<double>(d));
    case 5:
        return tangentFromHandle(k0, k1, k0->param[3], k0->param[2]);
    default:
        return 0.0;
    }
}

double incomingTangent(const MotionKey* k0, const MotionKey* k1, const MotionKey* kNext)
{
    const float d = k1->value - k0->value;
    float r = 0.0f;
    if (kNext != nullptr)
        r = (k1->time - k0->time) / (kNext->time - k0->time);
    switch (k1->shape) {
    case 0: {
        const float tension = k1->param[0], continuity = k1->param[1], bias = k1->param[2];
        const float a = (1.0f - tension) * (1.0f - continuity) * (1.0f + bias);
        const float b = (1.0f - tension) * (1.0f + continuity) * (1.0f - bias);
        if (kNext == nullptr)
            return static_cast<double>(a) * static_cast<double>(d);
        const float nextDifference = kNext->value - k1->value;
        return static_cast<double>(r) *
               (static_cast<double>(b) * static_cast<double>(nextDifference) +
                static_cast<double>(a) * static_cast<double>(d));
    }
    case 1:
    case 2:
        if (kNext == nullptr)
            return k1->param[3];
        return static_cast<double>(k1->param[3]) * static_cast<double>(r);
    case 3:
        if (kNext == nullptr)
            return d;
        return static_cast<double>(r) *
               (static_cast<double>(kNext->value - k1->value) + static_cast<double>(d));
    case 5:
        return tangentFromHandle(k0, k1, k1->param[1], k1->param[0]);
    default:
        return 0.0;
    }
}

double evaluateBezierSegment(const MotionKey* k0, const MotionKey* k1, float t)
{
    double x1, y1;
    if (k0->shape == 5) {
        x1 = static_cast<float>(k0->time + k0->param[2]);
        y1 = static_cast<float>(k0->value + k0->param[3]);
    } else {
        const float span = k1->time - k0->time;
        x1 = static_cast<double>(k0->time) + static_cast<double>(span) / 3.0;
        y1 = static_cast<float>(k0->value + k0->param[1]);
    }
    const double x2 = static_cast<float>(k1->time + k1->param[0]);
    const double y2 = static_cast<float>(k1->value + k1->param[1]);

    const CubicPolynomial x = bezierPolynomial(k0->time, x1, x2, k1->time);
    const CubicPolynomial y = bezierPolynomial(k0->value, y1, y2, k1->value);

    const double target = t;
    double lo = 0.0, hi = 1.0, u = 0.5;
    for (int halvings = 0; halvings < bezierMaxHalvings; ++halvings) {
        const double xu = evaluatePolynomial(x, u);
        if (!(std::fabs(target - xu) > 1e-4))
            break;
        if (xu > target)
            hi = u;
        else
            lo = u;
        u = lo + (hi - lo) * 0.5;
    }
    return evaluatePolynomial(y, u);
}

double evaluateChannel(const MotionChannel* channel, float t)
{
    int n = channel->keyCount;
    if (n < 0)
        n = 0;
    if (n > keysPerChannel)
        n = keysPerChannel;
    const MotionKey* k = channel->keys;

    if (n == 0)
        return k[0].value;
    if (n == 1)
        return k[0].value;

    int i = 0;
    while (i < n && t >= k[i].time)
        ++i;
    if (i == n)
        return k[n - 1].value;

    const MotionKey *s, *r, *previous = nullptr, *next = nullptr;
    if (i == 0) {
        // Before the first key the first segment runs on backwards.
        s = &k[0];
        r = &k[1];
    } else {
        s = &k[i - 1];
        r = &k[i];
        if (i >= 2)
            previous = &k[i - 2];
        if (i + 1 < n)
            next = &k[i + 1];
    }

    const float denominator = r->time - s->time;
    const double f = (static_cast<double>(t) - static_cast<double>(s->time)) /
                     static_cast<double>(denominator);

    switch (r->shape) {
    case 0:
    case 1:
    case 2: {
        const double out = outgoingTangent(s, r, previous);
        const double in = incomingTangent(s, r, next);
        const double h2 = 3.0 * f * f - 2.0 * f * f * f;
        const double h1 = 1.0 - h2;
        const double h3 = f * f * f - 2.0 * f * f + f;
        const double h4 = f * f * f - f * f;
        return h1 * s->value + h2 * r->value + h3 * out + h4 * in;
    }
    case 3:
        return s->value + static_cast<double>(r->value - s->value) * f;
    case 4:
        return s->value;
    case 5:
        return evaluateBezierSegment(s, r, t);
    default:
        return 0.0;
    }
}
