// Motion envelopes: key search, the six shapes, tangents, Bezier search.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>

#include "animation/motion_envelope.h"
#include "assets/scene.h"

namespace {

constexpr uint32_t tcb = 0, hermite1 = 1, hermite2 = 2, linear = 3, step = 4, bezier = 5;

MotionKey key(float value, float time, uint32_t shape, float p0 = 0, float p1 = 0, float p2 = 0,
              float p3 = 0, float p4 = 0)
{
    MotionKey k{};
    k.value = value;
    k.time = time;
    k.shape = shape;
    k.param[0] = p0;
    k.param[1] = p1;
    k.param[2] = p2;
    k.param[3] = p3;
    k.param[4] = p4;
    return k;
}

// Heap-allocated at its exact size so that a read past the 50 keys is caught
// by the address sanitizer.
std::unique_ptr<MotionChannel> channelOf(std::initializer_list<MotionKey> keys)
{
    auto channel = std::make_unique<MotionChannel>();
    channel->keyCount = static_cast<int32_t>(keys.size());
    int i = 0;
    for (const MotionKey& k : keys)
        channel->keys[i++] = k;
    return channel;
}

TEST(MotionEnvelope, OneKeyYieldsItsValueAtEveryTime)
{
    // A single key is returned before its shape is looked at, so even an
    // unknown shape gives the value.
    for (uint32_t shape : {tcb, linear, bezier, 7u}) {
        const auto channel = channelOf({key(2.5f, 3.0f, shape)});
        for (float t : {-100.0f, 0.0f, 3.0f, 3.5f, 1000.0f})
            EXPECT_EQ(evaluateChannel(channel.get(), t), 2.5) << "shape " << shape << " t " << t;
    }
}

TEST(MotionEnvelope, LinearKeysAtZeroAndTen)
{
    // Keys 1 at time 0 and 3 at time 10 (linear): value 1 + (3 - 1)·f, f = t / 10;
    // at and after the last key's time the last value.
    struct Case {
        float t;
        double expected;
    };
    const Case cases[] = {
        {0.0f, 1.0},    // f = 0
        {5.0f, 2.0},    // f = 0.5: 1 + 2·0.5
        {10.0f, 3.0},   // i = n: last value
        {20.0f, 3.0},   // after the last key
    };
    const auto channel = channelOf({key(1.0f, 0.0f, linear), key(3.0f, 10.0f, linear)});
    for (const Case& c : cases)
        EXPECT_EQ(evaluateChannel(channel.get(), c.t), c.expected) << "t " << c.t;
}

TEST(MotionEnvelope, FirstSegmentRunsOnBackwardsBeforeTheFirstKey)
{
    // Keys 2 at time 10 and 6 at time 20, t = 5: f = (5 - 10) / (20 - 10) = -0.5,
    // no neighbours, d = 4.
    //   h2 = 3·0.25 - 2·(-0.125) = 1, h1 = 0, h3 = -0.125 - 0.5 - 0.5 = -1.125,
    //   h4 = -0.125 - 0.25 = -0.375.
    // linear: 2 + 4·(-0.5) = 0.
    // TCB, parameters 0: out = b·d = 4, in = a·d = 4: 6 - 1.125·4 - 0.375·4 = 0.
    // TCB, tension 0.5 on both keys: a = b = 0.5, out = in = 2:
    //   6 - 1.125·2 - 0.375·2 = 3.
    // A value clamped to the first key would be 2 in every row.
    struct Case {
        const char* name;
        uint32_t shape;
        float tension;
        double expected;
    };
    const Case cases[] = {
        {"linear", linear, 0.0f, 0.0},
        {"tcb zero", tcb, 0.0f, 0.0},
        {"tcb tension 0.5", tcb, 0.5f, 3.0},
    };
    for (const Case& c : cases) {
        const auto channel =
            channelOf({key(2.0f, 10.0f, c.shape, c.tension), key(6.0f, 20.0f, c.shape, c.tension)});
        EXPECT_EQ(evaluateChannel(channel.get(), 5.0f), c.expected) << c.name;
    }
}

TEST(MotionEnvelope, StepHoldsThePreviousValueUpToButNotIncludingItsTime)
{
    // Keys 1 at 0 (linear), 5 at 10 (step), 9 at 20 (step): a step segment
    // yields its start key's value; a key whose time equals t counts as passed.
    struct Case {
        float t;
        double expected;
    };
    const Case cases[] = {
        {-5.0f, 1.0},     // before the first key: S = K0
        {0.0f, 1.0},      // segment K0 -> K1
        {9.999f, 1.0},
        {10.0f, 5.0},     // K1 passed: segment K1 -> K2
        {15.0f, 5.0},
        {19.99f, 5.0},
        {20.0f, 9.0},     // last key
        {30.0f, 9.0},
    };
    const auto channel =
        channelOf({key(1.0f, 0.0f, linear), key(5.0f, 10.0f, step), key(9.0f, 20.0f, step)});
    for (const Case& c : cases)
        EXPECT_EQ(evaluateChannel(channel.get(), c.t), c.expected) << "t " << c.t;
}

TEST(MotionEnvelope, TcbWithZeroParametersAndNoNeighboursHasBothTangentsEqualToTheDifference)
{
    // K0 1.5 at 0, K1 4 at 2: d = 2.5, a = b = 1, so out = in = 2.5.
    // At t = 1, f = 0.5: h1 = h2 = 0.5, h3 = 0.125, h4 = -0.125:
    //   0.75 + 2 + 0.3125 - 0.3125 = 2.75.
    const MotionKey k0 = key(1.5f, 0.0f, tcb), k1 = key(4.0f, 2.0f, tcb);
    EXPECT_EQ(outgoingTangent(&k0, &k1, nullptr), 2.5);
    EXPECT_EQ(incomingTangent(&k0, &k1, nullptr), 2.5);
    const auto channel = channelOf({k0, k1});
    EXPECT_EQ(evaluateChannel(channel.get(), 1.0f), 2.75);
}

TEST(MotionEnvelope, TcbWithNeighboursFormsFactorsRatiosAndDifferencesInSinglePrecision)
{
    // Four keys; t = 4.2 lies in the segment K1 -> K2, so K0 is the previous
    // key and K3 the next. The expected value follows the formulas step by
    // step: a, b, r and the key differences as floats, the rest in double.
    const float v0 = 0.3f, v1 = 1.7f, v2 = -0.9f, v3 = 2.2f;
    const float t0 = 0.0f, t1 = 2.5f, t2 = 6.1f, t3 = 9.7f;
    const float tension1 = 0.3f, continuity1 = -0.2f, bias1 = 0.1f;
    const float tension2 = -0.25f, continuity2 = 0.4f, bias2 = -0.35f;
    const float t = 4.2f;

    const float d = v2 - v1;
    // Outgoing tangent of K1 (the segment's start key), with K0 as previous key.
    const float rOut = (t2 - t1) / (t2 - t0);
    const float aOut = (1.0f - tension1) * (1.0f + continuity1) * (1.0f + bias1);
    const float bOut = (1.0f - tension1) * (1.0f - continuity1) * (1.0f - bias1);
    const float previousDifference = v1 - v0;
    const double out = static_cast<double>(rOut) *
                       (static_cast<double>(aOut) * static_cast<double>(previousDifference) +
                        static_cast<double>(bOut) * static_cast<double>(d));
    // Incoming tangent of K2 (the segment's end key), with K3 as next key.
    const float rIn = (t2 - t1) / (t3 - t1);
    const float aIn = (1.0f - tension2) * (1.0f - continuity2) * (1.0f + bias2);
    const float bIn = (1.0f - tension2) * (1.0f + continuity2) * (1.0f - bias2);
    const float nextDifference = v3 - v2;
    const double in = static_cast<double>(rIn) *
                      (static_cast<double>(bIn) * static_cast<double>(nextDifference) +
                       static_cast<double>(aIn) * static_cast<double>(d));
    const float span = t2 - t1;
    const double f = (static_cast<double>(t) - static_cast<double>(t1)) / static_cast<double>(span);
    const double h2 = 3.0 * f * f - 2.0 * f * f * f;
    const double h1 = 1.0 - h2;
    const double h3 = f * f * f - 2.0 * f * f + f;
    const double h4 = f * f * f - f * f;
    const double expected = h1 * v1 + h2 * v2 + h3 * out + h4 * in;

    // The same tangent with a, b, r and the differences in double: the case
    // only means something if the two readings differ.
    const double outInDouble =
        (double{t2} - double{t1}) / (double{t2} - double{t0}) *
        ((1.0 - tension1) * (1.0 + continuity1) * (1.0 + bias1) * (double{v1} - double{v0}) +
         (1.0 - tension1) * (1.0 - continuity1) * (1.0 - bias1) * (double{v2} - double{v1}));
    ASSERT_NE(out, outInDouble);

    const MotionKey k0 = key(v0, t0, tcb), k1 = key(v1, t1, tcb, tension1, continuity1, bias1),
                    k2 = key(v2, t2, tcb, tension2, continuity2, bias2), k3 = key(v3, t3, tcb);
    EXPECT_EQ(outgoingTangent(&k1, &k2, &k0), out);
    EXPECT_EQ(incomingTangent(&k1, &k2, &k3), in);
    const auto channel = channelOf({k0, k1, k2, k3});
    EXPECT_EQ(evaluateChannel(channel.get(), t), expected);
}

struct TangentCase {
    const char* name;
    bool outgoing;
    MotionKey k0, k1;
    std::optional<MotionKey> neighbour;   // previous key (outgoing) or next key (incoming)
    double expected;
};

// 1e-5f is the float nearest 1e-5; the next float above it is over the threshold.
const float justAboveThreshold = std::nextafter(1e-5f, 1.0f);
// Key times 1 and 3.5: span 2.5. 2.5f · 0.1f = 0.2500000037 rounds to 0.25f in
// single precision (a double product would keep 0.2500000037).
const double handleProduct = static_cast<double>(2.5f * 0.1f);

const TangentCase tangentCases[] = {
    // Hermite: stored tangent, times r when the neighbour exists.
    // Outgoing r = (3 - 1) / (3 - 0) = float(2/3) = 0.6666666865.
    {"hermite out, previous", true, key(1, 1, hermite2, 0, 0, 0, 0, 3.0f), key(1, 3, linear),
     key(0, 0, linear), 3.0 * static_cast<double>(2.0f / 3.0f)},
    {"hermite out, no previous", true, key(1, 1, hermite1, 0, 0, 0, 0, 3.0f), key(1, 3, linear),
     std::nullopt, 3.0},
    // Incoming r = (1 - 0) / (3 - 0) = float(1/3) = 0.3333333433.
    {"hermite in, next", false, key(0, 0, linear), key(1, 1, hermite1, 0, 0, 0, 1.5f, 0),
     key(1, 3, linear), 1.5 * static_cast<double>(1.0f / 3.0f)},
    {"hermite in, no next", false, key(0, 0, linear), key(1, 1, hermite2, 0, 0, 0, 1.5f, 0),
     std::nullopt, 1.5},
    // Linear: r · ((K0 - Kprev) + d) with r = (6 - 4) / (6 - 1) = 0.4f,
    // (2 - 1) + (5 - 2) = 4; without the neighbour d = 3.
    {"linear out, previous", true, key(2, 4, linear), key(5, 6, linear), key(1, 1, linear),
     static_cast<double>(0.4f) * 4.0},
    {"linear out, no previous", true, key(2, 4, linear), key(5, 6, linear), std::nullopt, 3.0},
    // Incoming r = (6 - 4) / (9 - 4) = 0.4f, (6 - 5) + 3 = 4.
    {"linear in, next", false, key(2, 4, linear), key(5, 6, linear), key(6, 9, linear),
     static_cast<double>(0.4f) * 4.0},
    {"linear in, no next", false, key(2, 4, linear), key(5, 6, linear), std::nullopt, 3.0},
    // Step and unknown shapes have no tangent.
    {"step out", true, key(2, 4, step), key(5, 6, linear), key(1, 1, linear), 0.0},
    {"step in", false, key(2, 4, linear), key(5, 6, step), key(6, 9, linear), 0.0},
    {"shape 9 out", true, key(2, 4, 9), key(5, 6, linear), std::nullopt, 0.0},
    {"shape 9 in", false, key(2, 4, linear), key(5, 6, 9), std::nullopt, 0.0},
    // Bezier handles: float(span · value offset) / time offset, or · 100000
    // when |time offset| <= 1e-5f; the neighbour changes nothing.
    {"bezier out", true, key(0, 1, bezier, 0, 0, 0.3f, 0.1f), key(1, 3.5f, linear),
     key(0, 0, linear), handleProduct / static_cast<double>(0.3f)},
    {"bezier out, p2 0", true, key(0, 1, bezier, 0, 0, 0.0f, 0.1f), key(1, 3.5f, linear),
     std::nullopt, handleProduct * 100000.0},
    {"bezier out, p2 1e-5f", true, key(0, 1, bezier, 0, 0, 1e-5f, 0.1f), key(1, 3.5f, linear),
     std::nullopt, handleProduct * 100000.0},
    {"bezier out, p2 just below -1e-5f", true,
     key(0, 1, bezier, 0, 0, -justAboveThreshold, 0.1f), key(1, 3.5f, linear), std::nullopt,
     handleProduct / static_cast<double>(-justAboveThreshold)},
    {"bezier in", false, key(0, 1, linear), key(1, 3.5f, bezier, -0.3f, 0.1f),
     key(0, 9, linear), handleProduct / static_cast<double>(-0.3f)},
    // The worked example: p0 = 0 gives 100000 · (K1.time - K0.time) · p1 = 25000.
    {"bezier in, p0 0", false, key(0, 1, linear), key(1, 3.5f, bezier, 0.0f, 0.1f),
     std::nullopt, handleProduct * 100000.0},
    {"bezier in, p0 -1e-5f", false, key(0, 1, linear), key(1, 3.5f, bezier, -1e-5f, 0.1f),
     std::nullopt, handleProduct * 100000.0},
    {"bezier in, p0 just above 1e-5f", false, key(0, 1, linear),
     key(1, 3.5f, bezier, justAboveThreshold, 0.1f), std::nullopt,
     handleProduct / static_cast<double>(justAboveThreshold)},
};

TEST(MotionEnvelope, TangentsByShape)
{
    ASSERT_EQ(handleProduct, 0.25);
    for (const TangentCase& c : tangentCases) {
        const MotionKey* neighbour = c.neighbour ? &*c.neighbour : nullptr;
        const double actual = c.outgoing ? outgoingTangent(&c.k0, &c.k1, neighbour)
                                         : incomingTangent(&c.k0, &c.k1, neighbour);
        EXPECT_EQ(actual, c.expected) << c.name;
    }
}

TEST(MotionEnvelope, HermiteShapesUseStoredTangentsScaledByTheTimeRatio)
{
    // K0 0 at 0 (shape 1, p4 2), K1 1 at 1 (shape 2, p3 1.5, p4 3), K2 1 at 3
    // (shape 1, p3 0.5). Both rows have f = 0.5: h1 = h2 = 0.5, h3 = 0.125,
    // h4 = -0.125.
    //   t = 0.5, segment K0 -> K1, next K2: out = K0.p4 = 2 (no previous),
    //     in = 1.5 · float((1 - 0) / (3 - 0)).
    //   t = 2, segment K1 -> K2, previous K0: out = 3 · float((3 - 1) / (3 - 0)),
    //     in = K2.p3 = 0.5 (no next); f = (2 - 1) / 2.
    struct Case {
        float t;
        double expected;
    };
    const double inFirst = 1.5 * static_cast<double>(1.0f / 3.0f);
    const double outSecond = 3.0 * static_cast<double>(2.0f / 3.0f);
    const Case cases[] = {
        {0.5f, 0.5 * 0.0 + 0.5 * 1.0 + 0.125 * 2.0 + -0.125 * inFirst},
        {2.0f, 0.5 * 1.0 + 0.5 * 1.0 + 0.125 * outSecond + -0.125 * 0.5},
    };
    const auto channel = channelOf({key(0, 0, hermite1, 0, 0, 0, 0, 2.0f),
                                    key(1, 1, hermite2, 0, 0, 0, 1.5f, 3.0f),
                                    key(1, 3, hermite1, 0, 0, 0, 0.5f, 0)});
    for (const Case& c : cases)
        EXPECT_EQ(evaluateChannel(channel.get(), c.t), c.expected) << "t " << c.t;
}

TEST(MotionEnvelope, BezierWithHandlesOnTheStraightLineIsLinear)
{
    // Keys 2 at 0 and 8 at 10: the line is 2 + 0.6·t. Handles at one and two
    // thirds of the span in time and value; the search stops within 1e-4 in
    // time, so the value is within 0.6e-4 (plus float rounding of the handles).
    // A start key of another shape puts X1 at a third of the span itself and
    // takes Y1 = value + p1 (p1 = 2, not divided by 3).
    struct Start {
        const char* name;
        MotionKey k0;
    };
    const Start starts[] = {
        {"bezier start", key(2, 0, bezier, 0, 0, 10.0f / 3.0f, 2.0f)},
        {"linear start", key(2, 0, linear, 0, 2.0f)},
    };
    const MotionKey k1 = key(8, 10, bezier, -10.0f / 3.0f, -2.0f);
    for (const Start& s : starts) {
        const auto channel = channelOf({s.k0, k1});
        for (float t : {0.5f, 2.5f, 5.0f, 7.3f, 9.9f})
            EXPECT_NEAR(evaluateChannel(channel.get(), t), 2.0 + 0.6 * t, 6.1e-5)
                << s.name << " t " << t;
    }
}

TEST(MotionEnvelope, BezierSearchFindsTheCurveParameter)
{
    // K0 0 at 0 (handle +2 in time, 0 in value), K1 1 at 4 (handle -2, 0):
    //   X: 0, 2, 2, 4 -> c = 6, b = 0 - 6 = -6, a = 4 - 6 + 6 = 4: X(u) = 4u³ - 6u² + 6u
    //   Y: 0, 0, 1, 1 -> c = 0, b = 3, a = 1 - 3 = -2:      Y(u) = -2u³ + 3u²
    // X(0.5) = 2, X(0.25) = 1.1875, X(0.75) = 2.8125, each hit exactly by the
    // first or second bisection step.
    struct Case {
        float t;
        double expected;
    };
    const Case cases[] = {
        {2.0f, 0.5},          // u = 0.5: -0.25 + 0.75
        {1.1875f, 0.15625},   // u = 0.25: -0.03125 + 0.1875
        {2.8125f, 0.84375},   // u = 0.75: -0.84375 + 1.6875
    };
    const MotionKey k0 = key(0, 0, bezier, 0, 0, 2.0f, 0.0f), k1 = key(1, 4, bezier, -2.0f, 0.0f);
    const auto channel = channelOf({k0, k1});
    for (const Case& c : cases) {
        EXPECT_EQ(evaluateBezierSegment(&k0, &k1, c.t), c.expected) << "t " << c.t;
        EXPECT_EQ(evaluateChannel(channel.get(), c.t), c.expected) << "t " << c.t;
    }
}

TEST(MotionEnvelope, BezierAfterAnotherShapeTakesTheStartKeysSecondParameterUndivided)
{
    // K0 0 at 0 (linear, p1 0.6), K1 1 at 3 (bezier, p0 -1, p1 0):
    //   X: 0, 0 + 3/3 = 1, 3 - 1 = 2, 3: straight, X(u) = 3u, so t = 1.5 gives u = 0.5.
    //   Y: 0, 0 + 0.6f, 1 + 0 = 1, 1: c = 3·Y1, b = 3·(1 - Y1) - c, a = 1 - 0 - c - b;
    //   Y(0.5) = a/8 + b/4 + c/2 (about 0.725; dividing p1 by 3 would give 0.575).
    const double y1 = static_cast<double>(0.0f + 0.6f);
    const double c = 3.0 * (y1 - 0.0);
    const double b = 3.0 * (1.0 - y1) - c;
    const double a = 1.0 - 0.0 - c - b;
    const double expected = a * 0.5 * 0.5 * 0.5 + b * 0.5 * 0.5 + c * 0.5 + 0.0;
    const auto channel = channelOf({key(0, 0, linear, 0, 0.6f), key(1, 3, bezier, -1.0f, 0.0f)});
    EXPECT_EQ(evaluateChannel(channel.get(), 1.5f), expected);
    EXPECT_NEAR(expected, 0.725, 1e-7);
}

TEST(MotionEnvelope, BezierSearchEndsWhenTheTimeLiesOutsideTheCurve)
{
    // Before the first key the time lies outside the curve's time range, so the
    // tolerance is never reached; the search must stop. u stays in [0, 1], so
    // the value lies in the hull of the value control points 0, 0, 1, 1.
    struct Case {
        const char* name;
        MotionKey k0;
    };
    const Case cases[] = {
        {"linear start", key(0, 10, linear)},
        {"bezier start", key(0, 10, bezier, 0, 0, 3.0f, 0.0f)},
    };
    const MotionKey k1 = key(1, 20, bezier, -3.0f, 0.0f);
    for (const Case& c : cases) {
        const auto channel = channelOf({c.k0, k1});
        const double before = evaluateChannel(channel.get(), 5.0f);
        EXPECT_TRUE(std::isfinite(before)) << c.name;
        EXPECT_GE(before, 0.0) << c.name;
        EXPECT_LE(before, 1.0) << c.name;
        const double after = evaluateBezierSegment(&c.k0, &k1, 25.0f);
        EXPECT_TRUE(std::isfinite(after)) << c.name;
        EXPECT_GE(after, 0.0) << c.name;
        EXPECT_LE(after, 1.0) << c.name;
    }
}

TEST(MotionEnvelope, ShapesAboveFiveYieldZero)
{
    // Keys 1 at 0 and 3 at 10 with the second key's shape unknown: 0 inside the
    // segment and before the first key.
    for (uint32_t shape : {6u, 7u, 255u, 0xFFFFFFFFu}) {
        const auto channel = channelOf({key(1.0f, 0.0f, linear), key(3.0f, 10.0f, shape)});
        EXPECT_EQ(evaluateChannel(channel.get(), 5.0f), 0.0) << "shape " << shape;
        EXPECT_EQ(evaluateChannel(channel.get(), -5.0f), 0.0) << "shape " << shape;
    }
}

TEST(MotionEnvelope, KeyCountIsClampedIntoZeroToFifty)
{
    // All 50 records hold key i: value 7.25 + 10·i at time i, linear.
    // A count of 0 or below yields the first record's value (7.25); above 50 the
    // channel behaves as with 50 keys: last value 7.25 + 490 = 497.25, and at
    // t = 48.5 the segment 48 -> 49 gives 487.25 + 10·0.5 = 492.25.
    auto channel = std::make_unique<MotionChannel>();
    for (int i = 0; i < keysPerChannel; ++i)
        channel->keys[i] = key(7.25f + 10.0f * static_cast<float>(i), static_cast<float>(i), linear);
    struct Case {
        int32_t keyCount;
        float t;
        double expected;
    };
    const Case cases[] = {
        {0, 3.5f, 7.25},         {-3, 3.5f, 7.25},        {INT32_MIN, 3.5f, 7.25},
        {50, 100.0f, 497.25},    {51, 100.0f, 497.25},    {60, 100.0f, 497.25},
        {INT32_MAX, 100.0f, 497.25}, {60, 48.5f, 492.25}, {50, 48.5f, 492.25},
    };
    for (const Case& c : cases) {
        channel->keyCount = c.keyCount;
        EXPECT_EQ(evaluateChannel(channel.get(), c.t), c.expected)
            << "keyCount " << c.keyCount << " t " << c.t;
    }
}

}  // namespace
