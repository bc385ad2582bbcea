// The fifty letter scenes and the empty scene. Each scene takes a letter from
// its entry pose at time 0 to the rest pose, reached at the latest at
// sceneEndTime and held from there on; the out phase plays it backwards.
//
// Units: positions in world units (the frame is about ±7.3 wide and ±5.9
// high at the rest depth, so ±9 and ±7 start a letter outside the picture).
// Position x is subtracted from world x, which grows to the left, so a
// positive x moves the letter to the right of the picture; y grows upwards;
// a larger z comes closer. Rotations in radians; a positive bank turns the
// letter counter-clockwise on the picture. Key times are written as
// fractions of sceneEndTime.
#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>

#include "tools/assets/asset_writer.h"

namespace assetwriter {

namespace {

constexpr float pi = 3.14159265f;

float at(float fraction) { return fraction * sceneEndTime; }

Key makeKey(float fraction, float value, KeyShape shape, std::array<float, 5> param = {})
{
    return {at(fraction), value, shape, {param[0], param[1], param[2], param[3], param[4]}};
}

Key tcb(float f, float value, float tension = 0.0f, float continuity = 0.0f, float bias = 0.0f)
{
    return makeKey(f, value, KeyShape::tcb, {tension, continuity, bias, 0.0f, 0.0f});
}

Key linear(float f, float value) { return makeKey(f, value, KeyShape::linear); }

Key step(float f, float value) { return makeKey(f, value, KeyShape::step); }

// Handles as offsets from the key: times in fractions of the scene, values
// in the channel's unit.
Key bezier(float f, float value, float inTime, float inValue, float outTime, float outValue)
{
    return makeKey(f, value, KeyShape::bezier, {at(inTime), inValue, at(outTime), outValue, 0.0f});
}

// Slopes in value per whole scene (per sceneEndTime).
struct HermitePoint {
    float f;
    float value;
    float slopeIn;
    float slopeOut;
};

// The evaluator scales a stored tangent by the ratio of the segment to the
// span that includes the neighbouring key; storing slope x span gives the
// intended slope on every segment.
std::vector<Key> hermite(KeyShape shape, const std::vector<HermitePoint>& p)
{
    std::vector<Key> keys;
    for (size_t i = 0; i < p.size(); ++i) {
        const bool hasPrev = i > 0, hasNext = i + 1 < p.size();
        float in = 0.0f, out = 0.0f;
        if (hasPrev)
            in = p[i].slopeIn * ((hasNext ? p[i + 1].f : p[i].f) - p[i - 1].f);
        if (hasNext)
            out = p[i].slopeOut * (p[i + 1].f - (hasPrev ? p[i - 1].f : p[i].f));
        keys.push_back(makeKey(p[i].f, p[i].value, shape, {0.0f, 0.0f, 0.0f, in, out}));
    }
    return keys;
}

using Turn = std::array<float, 2>;   // fraction, value

// Swings that stop at each turning point: zero slopes everywhere.
std::vector<Key> swings(KeyShape shape, const std::vector<Turn>& turns)
{
    std::vector<Key> keys;
    for (const Turn& turn : turns)
        keys.push_back(makeKey(turn[0], turn[1], shape));
    return keys;
}

// A fall from `height` at time 0 that lands at `firstLanding`, then bounces
// to each of `bounces` heights, as parabolas (which the cubic reproduces
// exactly from its end slopes), and rests on the ground until the end.
std::vector<Key> bouncing(KeyShape shape, float height, float firstLanding,
                          std::initializer_list<float> bounces)
{
    std::vector<HermitePoint> points = {{0.0f, height, 0.0f, 0.0f}};
    float landing = firstLanding;
    float landingSlope = -2.0f * height / firstLanding;
    for (float h : bounces) {
        const float flight = 2.0f * firstLanding * std::sqrt(h / height);
        const float takeOff = 4.0f * h / flight;
        points.push_back({landing, 0.0f, landingSlope, takeOff});
        landing += flight;
        landingSlope = -takeOff;
    }
    points.push_back({landing, 0.0f, landingSlope, 0.0f});
    if (landing < 1.0f)
        points.push_back({1.0f, 0.0f, 0.0f, 0.0f});
    return hermite(shape, points);
}

// TCB keys sampled from a path s -> value for s = 0 .. 1 at even steps up to
// `arrival`; the last key is the rest value, eased in (tension 1).
std::vector<Key> tcbPath(int steps, float arrival, float restValue,
                         const std::function<double(double)>& valueAt)
{
    std::vector<Key> keys;
    for (int k = 0; k < steps; ++k) {
        const double s = static_cast<double>(k) / steps;
        keys.push_back(tcb(arrival * static_cast<float>(s), static_cast<float>(valueAt(s))));
    }
    keys.push_back(tcb(arrival, restValue, 1.0f));
    return keys;
}

struct Slot : SlotMotion {
    explicit Slot(const char* slotName)
    {
        name = slotName;
        for (size_t c = 0; c < channelCount; ++c)
            channels[c] = {makeKey(0.0f, restPose[c], KeyShape::linear)};
    }
    Slot& set(Channel channel, std::vector<Key> keys)
    {
        channels[channel] = std::move(keys);
        return *this;
    }
    Slot& scale(const std::vector<Key>& keys)
    {
        channels[scaleX] = channels[scaleY] = channels[scaleZ] = keys;
        return *this;
    }
};

Slot letter() { return Slot("letter"); }

constexpr KeyShape H1 = KeyShape::hermite;
constexpr KeyShape H2 = KeyShape::hermiteAlt;

std::vector<SceneMotion> buildLibrary()
{
    std::vector<SceneMotion> scenes;
    auto add = [&](const char* motion, std::vector<SlotMotion> slots) {
        scenes.push_back({static_cast<int>(scenes.size()) + 1, motion, std::move(slots)});
    };

    // 1
    add("Flies in from the left leaning forward, overshoots a little and settles back upright.",
        {letter()
             .set(posX, {tcb(0, -9), tcb(0.5f, 0.45f), tcb(0.75f, -0.12f), tcb(1, 0, 1)})
             .set(bank, {tcb(0, -0.45f), tcb(0.5f, 0.12f), tcb(0.75f, -0.03f), tcb(1, 0, 1)})});
    // 2
    add("Flies in from the right on a swooping arc, turned aside, and eases into place.",
        {letter()
             .set(posX, {bezier(0, 9, 0, 0, 0.12f, -3.0f), bezier(0.7f, 0, -0.35f, 0, 0, 0)})
             .set(posY, {bezier(0, 1.5f, 0, 0, 0.2f, -3.0f), bezier(0.7f, 0, -0.25f, 0, 0, 0)})
             .set(heading, {tcb(0, -0.7f), tcb(0.7f, 0, 1)})});
    // 3
    add("Rises from below leaning back, overshoots upwards and settles.",
        {letter()
             .set(posY, hermite(H2, {{0, -7, 0, 24}, {0.45f, 0.6f, 0, 0}, {0.65f, -0.2f, 0, 0},
                                     {0.82f, 0.06f, 0, 0}, {1, 0, 0, 0}}))
             .set(pitch, hermite(H2, {{0, 0.7f, 0, 0}, {0.45f, -0.15f, 0, 0}, {0.65f, 0.05f, 0, 0},
                                      {0.82f, 0, 0, 0}}))});
    // 4
    add("Slides in on a curve from the upper left corner and from a little farther back.",
        {letter()
             .set(posX, {tcb(0, -8), tcb(0.45f, -2.4f), tcb(0.85f, 0, 1)})
             .set(posY, {tcb(0, 6), tcb(0.45f, 0.4f), tcb(0.85f, 0, 1)})
             .set(posZ, {tcb(0, 3), tcb(0.85f, 5, 1)})
             .set(bank, {tcb(0, 0.6f), tcb(0.85f, 0, 1)})});
    // 5
    add("Slides in from the left and springs back and forth before it settles.",
        {letter()
             .set(posX, {tcb(0, -9), tcb(0.42f, 0.9f, 0, -0.5f), tcb(0.58f, -0.45f, 0, -0.5f),
                         tcb(0.72f, 0.2f, 0, -0.5f), tcb(0.85f, -0.07f, 0, -0.5f), tcb(1, 0, 1)})
             .set(scaleX, {tcb(0, 1.3f), tcb(0.42f, 0.85f), tcb(0.58f, 1.08f), tcb(0.72f, 0.96f),
                           tcb(0.85f, 1, 1)})});
    // 6
    add("Starts huge, right in front of the viewer, and backs off into place with a small roll.",
        {letter()
             .set(posZ, {bezier(0, 12.4f, 0, 0, 0.1f, -2.5f), bezier(0.8f, 5, -0.4f, 0, 0, 0)})
             .set(bank, {tcb(0, -0.35f), tcb(0.8f, 0, 1)})});
    // 7
    add("Thrown from the lower left: flies up in an arc, turning over once, and lands in place.",
        {letter()
             .set(posX, hermite(H2, {{0, -8, 0, 12}, {0.75f, 0, 0, 0}}))
             .set(posY, hermite(H2, {{0, -6, 0, 22}, {0.45f, 1.6f, 0, 0}, {0.75f, 0, 0, 0}}))
             .set(bank, hermite(H2, {{0, 2 * pi, 0, -10}, {0.75f, 0, 0, 0}}))});
    // 8
    add("Comes straight out of the far distance, tilted back, slowing down smoothly.",
        {letter()
             .set(posZ, {bezier(0, -60, 0, 0, 0.15f, 30), bezier(0.85f, 5, -0.45f, 0, 0, 0)})
             .set(pitch, {linear(0, 0.5f), linear(0.85f, 0)})});
    // 9
    add("Comes from far behind spinning twice about the vertical axis.",
        {letter()
             .set(posZ, {tcb(0, -40), linear(0.5f, 0), tcb(0.9f, 5, 1)})
             .set(heading, {tcb(0, 4 * pi), tcb(0.9f, 0, 1)})});
    // 10
    add("Comes from behind the viewer, swoops past the right shoulder and settles into place.",
        {letter()
             .set(posX, {tcb(0, 3.6f), tcb(0.3f, 3.2f), tcb(0.6f, 1.0f), tcb(0.9f, 0, 1)})
             .set(posY, {tcb(0, 1.6f), tcb(0.3f, 1.3f), tcb(0.6f, 0.35f), tcb(0.9f, 0, 1)})
             .set(posZ, {tcb(0, 16), tcb(0.3f, 10.5f), tcb(0.6f, 6.2f), tcb(0.9f, 5, 1)})
             .set(heading, {tcb(0, -1.0f), tcb(0.6f, -0.3f), tcb(0.9f, 0, 1)})});
    // 11
    add("Somersaults twice about the horizontal axis while it drops into place.",
        {letter()
             .set(pitch, hermite(H1, {{0, -4 * pi, 0, 20}, {0.8f, 0, 0, 0}}))
             .set(posY, hermite(H1, {{0, 6, 0, -4}, {0.8f, 0, 0, 0}}))
             .set(posZ, hermite(H1, {{0, 2.5f, 0, 0}, {0.8f, 5, 0, 0}}))});
    // 12
    add("Blinks in: grows in five beats, each beat turning it an eighth of a turn upright.",
        {letter()
             .scale({step(0, 0.2f), step(0.16f, 0.4f), step(0.32f, 0.6f), step(0.48f, 0.8f),
                     step(0.64f, 1)})
             .set(bank, {step(0, pi / 2), step(0.16f, 3 * pi / 8), step(0.32f, pi / 4),
                         step(0.48f, pi / 8), step(0.64f, 0)})});
    // 13
    add("Drops in stretched, lands and wobbles like jelly, width and height trading off.",
        {letter()
             .set(posY, {tcb(0, 6, 1), tcb(0.3f, 0)})
             .set(scaleX, {tcb(0, 0.75f), tcb(0.3f, 0.8f), tcb(0.38f, 1.35f), tcb(0.5f, 0.82f),
                           tcb(0.62f, 1.12f), tcb(0.74f, 0.94f), tcb(0.86f, 1.02f), tcb(1, 1, 1)})
             .set(scaleY, {tcb(0, 1.35f), tcb(0.3f, 1.25f), tcb(0.38f, 0.68f), tcb(0.5f, 1.18f),
                           tcb(0.62f, 0.9f), tcb(0.74f, 1.05f), tcb(0.86f, 0.98f), tcb(1, 1, 1)})});
    // 14
    add("Drops from above, drifting in from the left, and bounces three times, each lower.",
        {letter()
             .set(posY, bouncing(H1, 7, 0.4f, {1.0f, 0.3f, 0.08f}))
             .set(posX, {linear(0, -1.2f), linear(0.95f, 0)})});
    // 15
    add("Typewriter: jumps towards its place from the right in shrinking steps, rocking.",
        {letter()
             .set(posX, {step(0, 8), step(0.2f, 5.5f), step(0.34f, 3.6f), step(0.48f, 2.1f),
                         step(0.62f, 1.0f), step(0.76f, 0.35f), step(0.88f, 0)})
             .set(posZ, {linear(0, 3.5f), linear(0.88f, 5)})
             .set(bank, {step(0, 0.12f), step(0.2f, -0.1f), step(0.34f, 0.08f), step(0.48f, -0.06f),
                         step(0.62f, 0.04f), step(0.76f, -0.02f), step(0.88f, 0)})});
    // 16
    add("Tumbles about all three axes on its way from far behind.",
        {letter()
             .set(posX, {tcb(0, 3), tcb(0.5f, -1.2f), tcb(0.85f, 0, 1)})
             .set(posY, {tcb(0, 2), tcb(0.5f, 0.8f), tcb(0.85f, 0, 1)})
             .set(posZ, {tcb(0, -35), tcb(0.45f, -2), tcb(0.85f, 5, 1)})
             .set(heading, {tcb(0, 3 * pi), tcb(0.85f, 0, 1)})
             .set(pitch, {tcb(0, -2 * pi), tcb(0.85f, 0, 1)})
             .set(bank, {tcb(0, pi), tcb(0.85f, 0, 1)})});
    // 17
    add("Starts with its back to the viewer and flips round while it comes forward.",
        {letter()
             .set(heading, {bezier(0, pi, 0, 0, 0.2f, 0), bezier(0.75f, -0.18f, -0.2f, 0, 0.08f, 0),
                            bezier(1, 0, -0.1f, 0, 0, 0)})
             .set(posZ, {tcb(0, -2), tcb(0.75f, 5, 1)})
             .set(posY, {tcb(0, 1.2f), tcb(0.75f, 0, 1)})});
    // 18
    add("Twins from left and right, turned towards each other, merge into one.",
        {Slot("twin")
             .set(posX, hermite(H1, {{0, -9, 0, 14}, {0.7f, 0, 0, 0}}))
             .set(posY, hermite(H1, {{0, -1.5f, 0, 0}, {0.7f, 0, 0, 0}}))
             .set(heading, {linear(0, 0.9f), linear(0.7f, 0)}),
         letter()
             .set(posX, hermite(H1, {{0, 9, 0, -14}, {0.7f, 0, 0, 0}}))
             .set(posY, hermite(H1, {{0, 1.5f, 0, 0}, {0.7f, 0, 0, 0}}))
             .set(heading, {linear(0, -0.9f), linear(0.7f, 0)})});
    // 19
    add("Falls onto the floor, squashes, hops once and springs back to its shape.",
        {letter()
             .set(posY, hermite(H1, {{0, 6, 0, 0}, {0.4f, 0, -30, 5.6f}, {0.65f, 0, -5.6f, 0},
                                     {1, 0, 0, 0}}))
             .set(scaleY, {tcb(0, 1.15f), tcb(0.38f, 1.12f), tcb(0.44f, 0.6f), tcb(0.52f, 1.15f),
                           tcb(0.62f, 0.95f), tcb(0.68f, 0.85f), tcb(0.78f, 1.04f), tcb(0.9f, 1, 1)})
             .set(scaleX, {tcb(0, 0.9f), tcb(0.38f, 0.92f), tcb(0.44f, 1.4f), tcb(0.52f, 0.9f),
                           tcb(0.62f, 1.03f), tcb(0.68f, 1.12f), tcb(0.78f, 0.97f), tcb(0.9f, 1, 1)})});
    // 20
    add("Unfolds from lying flat: tips up about the horizontal axis as it stretches to full height.",
        {letter()
             .set(pitch, hermite(H2, {{0, 1.5f, 0, 0}, {0.65f, -0.14f, 0, 0}, {0.82f, 0.04f, 0, 0},
                                      {1, 0, 0, 0}}))
             .set(scaleY, {linear(0, 0.25f), linear(0.65f, 1)})
             .set(posY, {linear(0, -0.9f), linear(0.65f, 0)})});
    // 21
    add("Comes in diagonally from the lower right, turning to face the viewer.",
        {letter()
             .set(posX, {linear(0, 8), linear(0.4f, 2.5f), tcb(0.8f, 0, 1)})
             .set(posY, {linear(0, -5), linear(0.4f, -1.6f), tcb(0.8f, 0, 1)})
             .set(heading, {tcb(0, 1.3f), tcb(0.8f, 0, 1)})});
    // 22
    {
        // A vertical loop on the screen, turning with the path.
        constexpr double radius = 1.5;
        auto loopAngle = [](double s) {
            const double u = std::clamp((s - 0.25) / 0.5, 0.0, 1.0);
            return 2.0 * 3.14159265358979 * (u * u * (3.0 - 2.0 * u));
        };
        add("Loops the loop: comes in from the left, runs round a vertical circle and lands.",
            {letter()
                 .set(posX, tcbPath(16, 0.85f, 0,
                                    [&](double s) { return -6.0 * (1.0 - s) + radius * std::sin(loopAngle(s)); }))
                 .set(posY, tcbPath(16, 0.85f, 0,
                                    [&](double s) { return radius * (1.0 - std::cos(loopAngle(s))); }))
                 .set(bank, tcbPath(16, 0.85f, 0, [&](double s) {
                     return loopAngle(s) - 2.0 * 3.14159265358979;
                 }))});
    }
    // 23
    add("Comes down from four times its size, undershoots and settles, with a quarter roll.",
        {letter()
             .scale({tcb(0, 4), tcb(0.5f, 0.8f), tcb(0.68f, 1.08f), tcb(0.84f, 0.98f), tcb(1, 1, 1)})
             .set(bank, {tcb(0, -pi / 2), tcb(0.5f, 0.1f), tcb(0.7f, 0, 1)})});
    // 24
    add("Glitches into place: jumps between wrong places and shapes before it snaps in.",
        {letter()
             .set(posX, {step(0, 3.2f), step(0.12f, -2.4f), step(0.2f, 1.8f), step(0.31f, -1.1f),
                         step(0.4f, 0.9f), step(0.52f, -0.4f), step(0.6f, 0.25f), step(0.7f, 0)})
             .set(posY, {step(0, -1.8f), step(0.12f, 1.2f), step(0.2f, 0.4f), step(0.31f, -0.9f),
                         step(0.45f, 0.5f), step(0.6f, -0.2f), step(0.7f, 0)})
             .set(scaleX, {step(0, 2.4f), step(0.12f, 0.5f), step(0.2f, 1.6f), step(0.31f, 0.7f),
                           step(0.4f, 1.3f), step(0.52f, 0.9f), step(0.7f, 1)})
             .set(scaleY, {step(0, 0.3f), step(0.12f, 1.8f), step(0.2f, 0.6f), step(0.31f, 1.4f),
                           step(0.4f, 0.8f), step(0.6f, 1.1f), step(0.7f, 1)})});
    // 25
    {
        auto radius = [](double s) { return 5.0 * (1.0 - s) * (1.0 - s); };
        auto angle = [](double s) { return 3.0 * 3.14159265358979 * (1.0 - s); };
        add("Spirals in from far away, a turn and a half round its place.",
            {letter()
                 .set(posX, tcbPath(8, 0.9f, 0, [&](double s) { return radius(s) * std::cos(angle(s)); }))
                 .set(posY, tcbPath(8, 0.9f, 0, [&](double s) { return radius(s) * std::sin(angle(s)); }))
                 .set(posZ, tcbPath(8, 0.9f, 5, [](double s) { return 5.0 - 30.0 * std::pow(1.0 - s, 1.5); }))
                 .set(bank, tcbPath(8, 0.9f, 0, [](double s) { return -0.6 * (1.0 - s); }))});
    }
    // 26
    add("Pops out of a dot with an elastic overshoot and a small roll.",
        {letter()
             .scale({bezier(0, 0.03f, 0, 0, 0.15f, 0), bezier(0.4f, 1.3f, -0.12f, 0, 0.08f, 0),
                     bezier(0.6f, 0.88f, -0.07f, 0, 0.07f, 0), bezier(0.78f, 1.05f, -0.06f, 0, 0.06f, 0),
                     bezier(1, 1, -0.08f, 0, 0, 0)})
             .set(bank, {bezier(0, 0.7f, 0, 0, 0.2f, 0), bezier(0.6f, 0, -0.3f, 0, 0, 0)})});
    // 27
    add("Boomerang: whirls in from the left, past its place to the right, and curves back.",
        {letter()
             .set(posX, {tcb(0, -8), tcb(0.45f, 3.8f), tcb(0.9f, 0, 1)})
             .set(posY, {tcb(0, 1.5f), tcb(0.45f, -0.8f), tcb(0.9f, 0, 1)})
             .set(posZ, {tcb(0, 4), tcb(0.45f, 1.5f), tcb(0.9f, 5, 1)})
             .set(bank, {tcb(0, -4 * pi), tcb(0.9f, 0, 1)})});
    // 28
    {
        // A pendulum hanging from a point above the letter.
        constexpr float length = 1.6f;
        const std::vector<Turn> turns = {
            {0, 0.7f}, {0.3f, 0.7f}, {0.42f, -0.5f}, {0.54f, 0.34f}, {0.66f, -0.2f}, {0.78f, 0.09f}, {0.9f, 0}};
        std::vector<Key> sway;
        for (const auto& turn : turns)
            sway.push_back(makeKey(turn[0], length * std::sin(turn[1]), H1));
        sway.back().value = 0;
        add("Drops in on a string and swings like a pendulum, the swings dying away.",
            {letter()
                 .set(posY, {tcb(0, 6, 1), tcb(0.3f, 0)})
                 .set(bank, swings(H1, turns))
                 .set(posX, sway)});
    }
    // 29
    add("A comet from far away at the upper right sweeps down and round into place.",
        {letter()
             .set(posX, hermite(H1, {{0, 6, 0, -16}, {0.55f, -1.5f, 0, 0}, {0.9f, 0, 0, 0}}))
             .set(posY, hermite(H1, {{0, 4.5f, 0, -8}, {0.4f, -1.2f, 0, 0}, {0.9f, 0, 0, 0}}))
             .set(posZ, hermite(H1, {{0, -40, 0, 120}, {0.55f, 3.5f, 6, 6}, {0.9f, 5, 0, 0}}))
             .set(bank, hermite(H1, {{0, 1.2f, 0, 0}, {0.55f, -0.3f, 0, 0}, {0.9f, 0, 0, 0}}))});
    // 30
    {
        // One spiral path, travelled by the letter and, later, by two echoes.
        auto spiralSlot = [](const char* slotName, float arrival) {
            auto radius = [](double s) { return 4.5 * (1.0 - s) * (1.0 - s); };
            auto angle = [](double s) { return -4.0 * 3.14159265358979 * (1.0 - s); };
            return Slot(slotName)
                .set(posX, tcbPath(10, arrival, 0, [=](double s) { return radius(s) * std::cos(angle(s)); }))
                .set(posY, tcbPath(10, arrival, 0, [=](double s) { return radius(s) * std::sin(angle(s)); }))
                .set(posZ, tcbPath(10, arrival, 5, [](double s) { return 5.0 - 15.0 * (1.0 - s); }));
        };
        add("Two echoes follow the letter along a spiral, each arriving a little later.",
            {spiralSlot("second echo", 1.0f), spiralSlot("first echo", 0.85f), spiralSlot("letter", 0.7f)});
    }
    // 31
    add("Copies from the upper left and lower right meet the letter coming from far behind.",
        {Slot("upper copy")
             .set(posX, {bezier(0, -7, 0, 0, 0.2f, 2), bezier(0.75f, 0, -0.3f, 0, 0, 0)})
             .set(posY, {bezier(0, 5, 0, 0, 0.2f, -1.5f), bezier(0.75f, 0, -0.3f, 0, 0, 0)})
             .set(bank, {linear(0, 0.8f), linear(0.75f, 0)}),
         Slot("lower copy")
             .set(posX, {linear(0, 7), linear(0.75f, 0)})
             .set(posY, {linear(0, -5), linear(0.75f, 0)})
             .set(bank, {linear(0, -0.8f), linear(0.75f, 0)}),
         letter().set(posZ, {tcb(0, -40), tcb(0.75f, 5, 1)})});
    // 32
    add("Opens like a door: swings round the vertical axis from edge-on, with a springy overshoot.",
        {letter()
             .set(heading, hermite(H2, {{0, -1.5f, 0, 0}, {0.5f, 0.25f, 0, 0}, {0.68f, -0.1f, 0, 0},
                                        {0.84f, 0.03f, 0, 0}, {1, 0, 0, 0}}))
             .set(posZ, hermite(H2, {{0, 4, 0, 0}, {0.5f, 5, 0, 0}}))});
    // 33
    add("Turns in place from edge-on: spins one and a quarter turns and slows to face the viewer.",
        {letter()
             .set(heading, {bezier(0, 2.5f * pi, 0, 0, 0.15f, -1.5f), bezier(0.85f, 0, -0.4f, 0, 0, 0)})
             .set(posZ, {bezier(0, 3.5f, 0, 0, 0.2f, 0), bezier(0.85f, 5, -0.3f, 0, 0, 0)})});
    // 34
    add("An echo lags behind the letter as both come down from above.",
        {Slot("echo")
             .set(posY, {tcb(0, 8), tcb(0.85f, 0, 1)})
             .set(posZ, {tcb(0, 2), tcb(0.85f, 5, 1)})
             .set(bank, {tcb(0, 0.6f), tcb(0.85f, 0, 1)}),
         letter()
             .set(posY, {tcb(0, 6), tcb(0.55f, 0, 1)})
             .set(bank, {tcb(0, 0.3f), tcb(0.55f, 0, 1)})});
    // 35
    {
        // Turning by distance / radius so that it rolls without slipping.
        constexpr float turnsPerUnit = 2 * pi / 3;
        add("Rolls in from the right like a wheel and brakes to a stop.",
            {letter()
                 .set(posX, {linear(0, 9), linear(0.5f, 2.4f), tcb(0.8f, 0, 1)})
                 .set(bank, {linear(0, -9 * turnsPerUnit), linear(0.5f, -2.4f * turnsPerUnit),
                             tcb(0.8f, 0, 1)})});
    }
    // 36
    add("Zig-zags in from far behind, leaning into every corner.",
        {letter()
             .set(posX, {linear(0, 4), linear(0.15f, -3), linear(0.3f, 2.2f), linear(0.45f, -1.4f),
                         linear(0.6f, 0.7f), linear(0.75f, -0.25f), linear(0.85f, 0)})
             .set(posY, {linear(0, 3), linear(0.85f, 0)})
             .set(posZ, {linear(0, -30), linear(0.3f, -8), linear(0.6f, 1.5f), linear(0.85f, 5)})
             .set(bank, {linear(0, -0.3f), linear(0.15f, 0.3f), linear(0.3f, -0.25f), linear(0.45f, 0.2f),
                         linear(0.6f, -0.12f), linear(0.75f, 0.05f), linear(0.85f, 0)})});
    // 37
    add("A shadow copy, lower right and farther back, follows the letter in and slides under it.",
        {Slot("shadow")
             .set(posX, {tcb(0, 4.5f), tcb(0.5f, 0.7f), tcb(0.95f, 0, 1)})
             .set(posY, {tcb(0, 2.5f), tcb(0.5f, -0.55f), tcb(0.95f, 0, 1)})
             .set(posZ, {tcb(0, -8), tcb(0.5f, 3.8f), tcb(0.95f, 5, 1)}),
         letter()
             .set(posX, hermite(H1, {{0, -4, 0, 12}, {0.5f, 0, 0, 0}}))
             .set(posY, hermite(H1, {{0, 3, 0, -8}, {0.5f, 0, 0, 0}}))
             .set(posZ, hermite(H1, {{0, -6, 0, 30}, {0.5f, 5, 0, 0}}))});
    // 38
    {
        auto radius = [](double s) { return 3.0 * (1.0 - s); };
        auto angle = [](double s) { return 2.0 * 3.14159265358979 * (1.0 - s); };
        add("Corkscrews in from far behind: spins about the viewing axis while it circles.",
            {letter()
                 .set(posZ, {bezier(0, -25, 0, 0, 0.2f, 15), bezier(0.85f, 5, -0.35f, 0, 0, 0)})
                 .set(bank, {bezier(0, 4 * pi, 0, 0, 0.2f, -2), bezier(0.85f, 0, -0.35f, 0, 0, 0)})
                 .set(posX, tcbPath(6, 0.85f, 0, [=](double s) { return radius(s) * std::cos(angle(s)); }))
                 .set(posY, tcbPath(6, 0.85f, 0, [=](double s) { return radius(s) * std::sin(angle(s)); }))});
    }
    // 39
    add("Stretched like a streak, shoots in from the right and relaxes to its shape.",
        {letter()
             .set(posX, {linear(0, 9), linear(0.3f, 1.2f), tcb(0.5f, 0, 1)})
             .set(scaleX, {linear(0, 3.5f), linear(0.3f, 2.2f), tcb(0.45f, 0.8f), tcb(0.6f, 1.08f),
                           tcb(0.75f, 1, 1)})
             .set(scaleY, {linear(0, 0.5f), linear(0.3f, 0.7f), tcb(0.45f, 1.15f), tcb(0.6f, 0.95f),
                           tcb(0.75f, 1, 1)})});
    // 40
    add("Flies out of the depth, bounces off the glass in front and settles back.",
        {letter()
             .set(posZ, hermite(H1, {{0, -35, 0, 90}, {0.4f, 7.4f, 0, 0}, {0.58f, 4.3f, 0, 0},
                                     {0.74f, 5.25f, 0, 0}, {0.88f, 5, 0, 0}}))
             .set(pitch, hermite(H1, {{0, 0, 0, 0}, {0.4f, -0.3f, 0, 0}, {0.58f, 0.12f, 0, 0},
                                      {0.74f, 0, 0, 0}}))});
    // 41
    add("Dealt like a card from below: slides up spinning, lying back, and lands face up.",
        {letter()
             .set(posY, {bezier(0, -7, 0, 0, 0.15f, 4), bezier(0.75f, 0, -0.35f, 0, 0, 0)})
             .set(pitch, {bezier(0, 1.3f, 0, 0, 0.25f, 0), bezier(0.75f, 0, -0.3f, 0, 0, 0)})
             .set(bank, {linear(0, 2 * pi), bezier(0.75f, 0, -0.15f, 0, 0, 0)})});
    // 42
    {
        // Pitch about the letter's centre, with the centre moved so that the
        // top edge (about 0.35 world units above it) stays put.
        constexpr float hinge = 0.35f;
        const std::vector<Turn> turns = {
            {0, -1.5f}, {0.42f, 0.38f}, {0.6f, -0.18f}, {0.76f, 0.07f}, {0.9f, 0}};
        std::vector<Key> lift, depth;
        for (const auto& turn : turns) {
            lift.push_back(makeKey(turn[0], hinge * (1.0f - std::cos(turn[1])), H1));
            depth.push_back(makeKey(turn[0], 5.0f - hinge * std::sin(turn[1]), H1));
        }
        lift.back().value = 0;
        depth.back().value = 5;
        add("Swings down on a hinge along its top edge, from lying flat to hanging still.",
            {letter().set(pitch, swings(H1, turns)).set(posY, lift).set(posZ, depth)});
    }
    // 43
    add("Rides in from the left on a dying wave, tilting with it.",
        {letter()
             .set(posX, {tcb(0, -9), tcb(0.6f, -1.6f), tcb(0.9f, 0, 1)})
             .set(posY, {tcb(0, 2.0f), tcb(0.1f, -1.7f), tcb(0.2f, 1.4f), tcb(0.3f, -1.1f),
                         tcb(0.4f, 0.85f), tcb(0.5f, -0.6f), tcb(0.6f, 0.4f), tcb(0.7f, -0.22f),
                         tcb(0.8f, 0.1f), tcb(0.9f, 0, 1)})
             .set(bank, {tcb(0, 0), tcb(0.05f, 0.35f), tcb(0.15f, -0.3f), tcb(0.25f, 0.25f),
                         tcb(0.35f, -0.2f), tcb(0.45f, 0.15f), tcb(0.55f, -0.1f), tcb(0.65f, 0.06f),
                         tcb(0.75f, -0.03f), tcb(0.9f, 0, 1)})});
    // 44
    add("Somersaults twice in place while it grows from a dot.",
        {letter()
             .set(pitch, {tcb(0, 4 * pi), tcb(0.8f, 0, 1)})
             .scale({linear(0, 0.05f), linear(0.6f, 1)})});
    // 45
    add("Mirror twins from above and below flip over and meet in the middle.",
        {Slot("upper twin")
             .set(posY, {bezier(0, 6, 0, 0, 0.15f, -2.5f), bezier(0.7f, 0, -0.3f, 0, 0, 0)})
             .set(pitch, {bezier(0, pi, 0, 0, 0.15f, -0.8f), bezier(0.7f, 0, -0.3f, 0, 0, 0)}),
         Slot("lower twin")
             .set(posY, {bezier(0, -6, 0, 0, 0.15f, 2.5f), bezier(0.7f, 0, -0.3f, 0, 0, 0)})
             .set(pitch, {bezier(0, -pi, 0, 0, 0.15f, 0.8f), bezier(0.7f, 0, -0.3f, 0, 0, 0)})});
    // 46
    add("Swings in like a gate about the vertical axis, sharp at each turn (continuity and bias).",
        {letter()
             .set(heading, {tcb(0, 1.45f), tcb(0.35f, -0.75f, 0, -0.3f, 0.4f),
                            tcb(0.55f, 0.4f, 0, -0.3f, 0.4f), tcb(0.72f, -0.18f, 0, -0.3f, 0.4f),
                            tcb(0.86f, 0.06f, 0, -0.3f, 0.4f), tcb(1, 0, 1)})
             .set(posX, {tcb(0, 2.0f), tcb(0.35f, 0, 1)})});
    // 47
    add("Blasts up from below like a rocket, spinning, and brakes hard at its place.",
        {letter()
             .set(posY, {bezier(0, -8, 0, 0, 0.25f, 5), bezier(0.55f, 0.3f, -0.1f, -0.2f, 0.06f, 0),
                         bezier(0.7f, 0, -0.06f, 0, 0, 0)})
             .set(heading, {bezier(0, 6 * pi, 0, 0, 0.25f, -8), bezier(0.6f, 0, -0.2f, 0, 0, 0)})
             .set(scaleY, {bezier(0, 1.6f, 0, 0, 0.2f, 0), bezier(0.55f, 0.9f, -0.05f, 0, 0.05f, 0),
                           bezier(0.7f, 1, -0.05f, 0, 0, 0)})
             .set(scaleX, {bezier(0, 0.7f, 0, 0, 0.2f, 0), bezier(0.55f, 1.1f, -0.05f, 0, 0.05f, 0),
                           bezier(0.7f, 1, -0.05f, 0, 0, 0)})});
    // 48
    add("Stop-motion: glides in from the left on a straight line while it turns in jerky steps.",
        {letter()
             .set(posX, {linear(0, -9), linear(0.8f, 0)})
             .set(posY, {linear(0, 0.8f), linear(0.8f, 0)})
             .set(bank, {step(0, -pi), step(0.1f, -5 * pi / 6), step(0.2f, -4 * pi / 6),
                         step(0.3f, -3 * pi / 6), step(0.4f, -2 * pi / 6), step(0.5f, -pi / 6),
                         step(0.6f, 0)})});
    // 49
    add("Rises out of the floor: grows upwards from a thin line while it comes forward.",
        {letter()
             .set(scaleY, {linear(0, 0.03f), bezier(0.6f, 1, -0.25f, 0, 0, 0)})
             .set(posY, {linear(0, -0.4f), bezier(0.6f, 0, -0.25f, 0, 0, 0)})
             .set(posZ, {linear(0, 4), linear(0.6f, 5)})});
    // 50
    add("Falls like a leaf: sways from side to side as it sinks, tilting with each swing.",
        {letter()
             .set(posY, hermite(H1, {{0, 6, 0, -7}, {0.9f, 0, 0, 0}}))
             .set(posX, swings(H2, {{0, 2.6f}, {0.18f, -2.0f}, {0.36f, 1.4f}, {0.54f, -0.8f},
                                    {0.72f, 0.3f}, {0.9f, 0}}))
             .set(bank, swings(H2, {{0, -0.47f}, {0.18f, 0.36f}, {0.36f, -0.25f}, {0.54f, 0.14f},
                                    {0.72f, -0.05f}, {0.9f, 0}}))
             .set(pitch, hermite(H1, {{0, 0.5f, 0, 0}, {0.9f, 0, 0, 0}}))});
    return scenes;
}

const int variantTables[5][11] = {
    {1, 9, 14, 15, 20, 25, 26, 34, 35},
    {2, 3, 4, 8, 10, 11, 12, 13, 18, 43, 50},
    {5, 6, 16, 17, 19, 22, 24, 31, 32, 39, 47},
    {21, 23, 28, 36, 37, 38, 41, 42, 48},
    {7, 27, 29, 30, 33, 40, 44, 45, 46, 49},
};

}  // namespace

const std::vector<SceneMotion>& sceneLibrary()
{
    static const std::vector<SceneMotion> library = buildLibrary();
    return library;
}

SceneMotion emptyScene()
{
    return {0, "One slot at the rest pose.", {Slot("letter")}};
}

int variantOfScene(int number)
{
    for (int v = 0; v < 5; ++v)
        for (int entry : variantTables[v])
            if (entry != 0 && entry == number)
                return v + 1;
    return 0;
}

std::string shapesUsed(const SceneMotion& scene)
{
    static const char* const names[] = {"TCB", "Hermite 1", "Hermite 2", "linear", "step", "Bezier"};
    bool used[6] = {};
    for (const SlotMotion& slot : scene.slots)
        for (const std::vector<Key>& keys : slot.channels)
            for (size_t n = 1; n < keys.size(); ++n)
                used[static_cast<uint32_t>(keys[n].shape)] = true;
    std::string text;
    for (int s = 0; s < 6; ++s)
        if (used[s])
            text += (text.empty() ? "" : ", ") + std::string(names[s]);
    return text;
}

std::string sceneTable()
{
    std::string text = "| scene | variant | slots | motion | key shapes |\n|---|---|---|---|---|\n";
    for (const SceneMotion& scene : sceneLibrary()) {
        std::string slots;
        for (const SlotMotion& slot : scene.slots)
            slots += (slots.empty() ? "" : ", ") + slot.name;
        text += "| " + std::to_string(scene.number) + " | zask" + std::to_string(variantOfScene(scene.number)) +
                " | " + slots + " | " + scene.motion + " | " + shapesUsed(scene) + " |\n";
    }
    return text;
}

}  // namespace assetwriter
