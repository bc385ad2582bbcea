/* A frei0r test host: loads one filter with dlopen, resolves every f0r_
 * symbol (each checked), prints the metadata and the parameters' defaults,
 * and runs frames with every kind of parameter the filter has, checking what
 * a frei0r host relies on:
 *   - parameters read back as they were set, of every kind;
 *   - frames of the effect carry the title, frames after it pass through
 *     unchanged;
 *   - the time decides only where a seek goes: milliseconds (ffmpeg),
 *     seconds (MLT) and no usable time at all give the same frames, a seek
 *     back renders the frame it rendered before, and two instances taking
 *     turns, or rendering at once on two threads, do too;
 *   - a bad parameter value leaves the frames untouched.
 * Usage: zask_frei0r_test_host FILTER.so */
#include <dlfcn.h>
#include <frei0r.h>
#include <math.h>
#include <pthread.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define WIDTH 320
#define HEIGHT 240
#define RATE 25.0
#define EFFECT_FRAMES 16 /* length 0.64 s at 25 frames per second */
#define RUN_FRAMES 20

typedef struct {
    int (*init)(void);
    void (*deinit)(void);
    void (*get_plugin_info)(f0r_plugin_info_t*);
    void (*get_param_info)(f0r_param_info_t*, int);
    f0r_instance_t (*construct)(unsigned int, unsigned int);
    void (*destruct)(f0r_instance_t);
    void (*set_param_value)(f0r_instance_t, f0r_param_t, int);
    void (*get_param_value)(f0r_instance_t, f0r_param_t, int);
    void (*update)(f0r_instance_t, double, const uint32_t*, uint32_t*);
    void (*update2)(f0r_instance_t, double, const uint32_t*, const uint32_t*, const uint32_t*, uint32_t*);
} Filter;

static int failures = 0;

#define CHECK(cond, ...)                                   \
    do {                                                   \
        if (!(cond)) {                                     \
            fprintf(stderr, "FAILED: " __VA_ARGS__);       \
            fprintf(stderr, "  (%s:%d)\n", __FILE__, __LINE__); \
            ++failures;                                    \
        }                                                  \
    } while (0)

static void* resolve(void* handle, const char* name) {
    void* symbol = dlsym(handle, name);
    if (symbol == NULL) {
        fprintf(stderr, "FAILED: symbol %s is missing: %s\n", name, dlerror());
        ++failures;
    }
    return symbol;
}

static const char* kindName(int kind) {
    switch (kind) {
        case F0R_PARAM_BOOL: return "bool";
        case F0R_PARAM_DOUBLE: return "double";
        case F0R_PARAM_COLOR: return "color";
        case F0R_PARAM_POSITION: return "position";
        case F0R_PARAM_STRING: return "string";
    }
    return "unknown";
}

static int paramIndex(const Filter* f, int count, const char* name, int kind) {
    for (int i = 0; i < count; ++i) {
        f0r_param_info_t info;
        memset(&info, 0, sizeof info);
        f->get_param_info(&info, i);
        if (info.name != NULL && strcmp(info.name, name) == 0) {
            CHECK(info.type == kind, "parameter %s is a %s, expected %s\n", name, kindName(info.type), kindName(kind));
            return i;
        }
    }
    fprintf(stderr, "FAILED: no parameter %s\n", name);
    ++failures;
    return -1;
}

static void setString(const Filter* f, f0r_instance_t in, int index, const char* value) {
    if (index < 0) return;
    f0r_param_string s = (f0r_param_string)value;
    f->set_param_value(in, &s, index);
    f0r_param_string back = NULL;
    f->get_param_value(in, &back, index);
    CHECK(back != NULL && strcmp(back, value) == 0, "string parameter %d reads back as '%s', set '%s'\n", index,
          back ? back : "(null)", value);
}

static void setDouble(const Filter* f, f0r_instance_t in, int index, double value) {
    if (index < 0) return;
    f0r_param_double d = value;
    f->set_param_value(in, &d, index);
    f0r_param_double back = -12345.0;
    f->get_param_value(in, &back, index);
    CHECK(back == value, "number parameter %d reads back as %g, set %g\n", index, back, value);
}

static void setBool(const Filter* f, f0r_instance_t in, int index, int value) {
    if (index < 0) return;
    f0r_param_bool b = value ? 1.0 : 0.0;
    f->set_param_value(in, &b, index);
    f0r_param_bool back = -1.0;
    f->get_param_value(in, &back, index);
    CHECK((back >= 0.5) == (value != 0), "bool parameter %d reads back as %g\n", index, back);
}

static void setColour(const Filter* f, f0r_instance_t in, int index, float r, float g, float b, float tolerance) {
    if (index < 0) return;
    f0r_param_color_t c = {r, g, b};
    f->set_param_value(in, &c, index);
    f0r_param_color_t back = {-1, -1, -1};
    f->get_param_value(in, &back, index);
    CHECK(fabsf(back.r - r) <= tolerance && fabsf(back.g - g) <= tolerance && fabsf(back.b - b) <= tolerance,
          "colour parameter %d reads back as %g/%g/%g, set %g/%g/%g\n", index, back.r, back.g, back.b, r, g, b);
}

/* A picture that changes from frame to frame: a moving gradient with a
 * varying alpha, which the filter must keep. */
static void makeFrame(uint32_t* frame, int k) {
    uint8_t* p = (uint8_t*)frame;
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH; ++x, p += 4) {
            p[0] = (uint8_t)(x + 3 * k);
            p[1] = (uint8_t)(y + 5 * k);
            p[2] = (uint8_t)((x ^ y) + k);
            p[3] = (uint8_t)(255 - (x & 15));
        }
}

static size_t differingPixels(const uint32_t* a, const uint32_t* b, int threshold) {
    const uint8_t* pa = (const uint8_t*)a;
    const uint8_t* pb = (const uint8_t*)b;
    size_t n = 0;
    for (size_t i = 0; i < (size_t)WIDTH * HEIGHT; ++i) {
        int d = 0;
        for (int c = 0; c < 3; ++c) {
            int e = abs((int)pa[4 * i + c] - (int)pb[4 * i + c]);
            if (e > d) d = e;
        }
        if (d > threshold) ++n;
    }
    return n;
}

static int alphaKept(const uint32_t* in, const uint32_t* out) {
    const uint8_t* a = (const uint8_t*)in;
    const uint8_t* b = (const uint8_t*)out;
    for (size_t i = 0; i < (size_t)WIDTH * HEIGHT; ++i)
        if (a[4 * i + 3] != b[4 * i + 3]) return 0;
    return 1;
}

/* One instance's run of frames on a thread of its own, as MLT renders. */
typedef struct {
    const Filter* f;
    f0r_instance_t instance;
    int first, count;
    uint32_t** expected;
    int mismatches;
} ThreadRun;

static void* runFrames(void* arg) {
    ThreadRun* run = arg;
    const size_t pixels = (size_t)WIDTH * HEIGHT;
    uint32_t* in = aligned_alloc(16, pixels * 4);
    uint32_t* out = aligned_alloc(16, pixels * 4);
    for (int k = run->first; k < run->first + run->count; ++k) {
        makeFrame(in, k);
        run->f->update(run->instance, k / RATE, in, out);
        if (memcmp(out, run->expected[k], pixels * 4) != 0) ++run->mismatches;
    }
    free(in);
    free(out);
    return NULL;
}

typedef struct {
    int text, settings, size, colour, start, length, rate, fieldOrder, draft, lightColour, inDuration, outDuration,
        align;
} Params;

static f0r_instance_t makeInstance(const Filter* f, const Params* p, int count) {
    (void)count;
    f0r_instance_t in = f->construct(WIDTH, HEIGHT);
    CHECK(in != NULL, "f0r_construct(%d, %d) returned null\n", WIDTH, HEIGHT);
    if (in == NULL) return NULL;
    setString(f, in, p->text, "AB\\nC\\pDE");
    setString(f, in, p->settings, "inScene=1 outMirror=1");
    setDouble(f, in, p->size, 40.0);
    setColour(f, in, p->colour, 1.0f, 0.8f, 0.2f, 0.0f);
    setDouble(f, in, p->start, 0.0);
    setDouble(f, in, p->length, EFFECT_FRAMES / RATE);
    setDouble(f, in, p->rate, RATE);
    setString(f, in, p->fieldOrder, "top");
    setBool(f, in, p->draft, 0);
    /* The light colour is kept as Y/Cb/Cr bytes: it reads back within a step. */
    setColour(f, in, p->lightColour, 0.5f, 0.6f, 0.9f, 2.5f / 255.0f);
    setDouble(f, in, p->inDuration, 3.0);
    setDouble(f, in, p->outDuration, 3.0);
    return in;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s FILTER.so\n", argv[0]);
        return 2;
    }
    void* handle = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (handle == NULL) {
        fprintf(stderr, "FAILED: dlopen %s: %s\n", argv[1], dlerror());
        return 1;
    }
    Filter f;
    *(void**)&f.init = resolve(handle, "f0r_init");
    *(void**)&f.deinit = resolve(handle, "f0r_deinit");
    *(void**)&f.get_plugin_info = resolve(handle, "f0r_get_plugin_info");
    *(void**)&f.get_param_info = resolve(handle, "f0r_get_param_info");
    *(void**)&f.construct = resolve(handle, "f0r_construct");
    *(void**)&f.destruct = resolve(handle, "f0r_destruct");
    *(void**)&f.set_param_value = resolve(handle, "f0r_set_param_value");
    *(void**)&f.get_param_value = resolve(handle, "f0r_get_param_value");
    *(void**)&f.update = resolve(handle, "f0r_update");
    *(void**)&f.update2 = resolve(handle, "f0r_update2");
    if (failures != 0) return 1;

    CHECK(f.init() == 1, "f0r_init did not return 1\n");
    f0r_plugin_info_t info;
    memset(&info, 0, sizeof info);
    f.get_plugin_info(&info);
    printf("name: %s\nauthor: %s\ntype: %d\ncolour model: %d\nfrei0r version: %d\nversion: %d.%d\nparameters: %d\n"
           "explanation: %s\n",
           info.name ? info.name : "(null)", info.author ? info.author : "(null)", info.plugin_type,
           info.color_model, info.frei0r_version, info.major_version, info.minor_version, info.num_params,
           info.explanation ? info.explanation : "(null)");
    CHECK(info.name != NULL && strstr(argv[1], info.name) != NULL, "the name does not match the file name\n");
    CHECK(info.plugin_type == F0R_PLUGIN_TYPE_FILTER, "not a filter\n");
    CHECK(info.color_model == F0R_COLOR_MODEL_RGBA8888, "not RGBA8888\n");
    CHECK(info.frei0r_version == FREI0R_MAJOR_VERSION, "frei0r version %d\n", info.frei0r_version);
    CHECK(info.num_params > 0, "no parameters\n");

    f0r_instance_t probe = f.construct(WIDTH, HEIGHT);
    CHECK(probe != NULL, "f0r_construct returned null\n");
    int kinds[5] = {0};
    for (int i = 0; i < info.num_params && probe != NULL; ++i) {
        f0r_param_info_t p;
        memset(&p, 0, sizeof p);
        f.get_param_info(&p, i);
        CHECK(p.name != NULL && p.explanation != NULL, "parameter %d without a name or explanation\n", i);
        CHECK(p.type >= F0R_PARAM_BOOL && p.type <= F0R_PARAM_STRING, "parameter %d of kind %d\n", i, p.type);
        if (p.type >= 0 && p.type < 5) ++kinds[p.type];
        printf("  %2d %-15s %-7s ", i, p.name ? p.name : "(null)", kindName(p.type));
        if (p.type == F0R_PARAM_STRING) {
            f0r_param_string s = NULL;
            f.get_param_value(probe, &s, i);
            CHECK(s != NULL, "string parameter %d reads as null\n", i);
            printf("'%s'", s ? s : "");
        } else if (p.type == F0R_PARAM_COLOR) {
            f0r_param_color_t c = {-1, -1, -1};
            f.get_param_value(probe, &c, i);
            printf("%.3f/%.3f/%.3f", c.r, c.g, c.b);
        } else if (p.type == F0R_PARAM_POSITION) {
            f0r_param_position_t pos = {-1, -1};
            f.get_param_value(probe, &pos, i);
            printf("%.3f/%.3f", pos.x, pos.y);
        } else {
            double d = -1;
            f.get_param_value(probe, &d, i);
            printf("%g", d);
        }
        printf("  %s\n", p.explanation ? p.explanation : "");
    }
    if (probe != NULL) f.destruct(probe);

    const int count = info.num_params;
    Params p;
    p.text = paramIndex(&f, count, "text", F0R_PARAM_STRING);
    p.settings = paramIndex(&f, count, "settings", F0R_PARAM_STRING);
    p.size = paramIndex(&f, count, "size", F0R_PARAM_DOUBLE);
    p.colour = paramIndex(&f, count, "colour", F0R_PARAM_COLOR);
    p.start = paramIndex(&f, count, "start", F0R_PARAM_DOUBLE);
    p.length = paramIndex(&f, count, "length", F0R_PARAM_DOUBLE);
    p.rate = paramIndex(&f, count, "rate", F0R_PARAM_DOUBLE);
    p.fieldOrder = paramIndex(&f, count, "fieldOrder", F0R_PARAM_STRING);
    p.draft = paramIndex(&f, count, "draft", F0R_PARAM_BOOL);
    p.lightColour = paramIndex(&f, count, "lightColour", F0R_PARAM_COLOR);
    p.inDuration = paramIndex(&f, count, "inDuration", F0R_PARAM_DOUBLE);
    p.outDuration = paramIndex(&f, count, "outDuration", F0R_PARAM_DOUBLE);
    p.align = paramIndex(&f, count, "align", F0R_PARAM_STRING);
    CHECK(kinds[F0R_PARAM_BOOL] && kinds[F0R_PARAM_DOUBLE] && kinds[F0R_PARAM_COLOR] && kinds[F0R_PARAM_STRING],
          "not every kind of parameter is run\n");
    if (failures != 0) return 1;

    const size_t pixels = (size_t)WIDTH * HEIGHT;
    uint32_t* in = aligned_alloc(16, pixels * 4);
    uint32_t* out = aligned_alloc(16, pixels * 4);
    uint32_t* rendered[RUN_FRAMES];
    for (int k = 0; k < RUN_FRAMES; ++k) rendered[k] = aligned_alloc(16, pixels * 4);

    /* A run from the start, with the time in milliseconds as ffmpeg gives it. */
    f0r_instance_t a = makeInstance(&f, &p, count);
    if (a == NULL) return 1;
    size_t most = 0;
    for (int k = 0; k < RUN_FRAMES; ++k) {
        makeFrame(in, k);
        f.update(a, 1000.0 * k / RATE, in, rendered[k]);
        CHECK(alphaKept(in, rendered[k]), "frame %d: alpha changed\n", k);
        size_t changed = differingPixels(in, rendered[k], 24);
        if (changed > most) most = changed;
        if (k >= EFFECT_FRAMES)
            CHECK(memcmp(in, rendered[k], pixels * 4) == 0, "frame %d after the effect is not passed through\n", k);
    }
    printf("most pixels changed by the title in one frame: %zu of %zu\n", most, pixels);
    CHECK(most > 500, "the title never showed (at most %zu pixels changed)\n", most);

    /* A seek back, then on: the same frames again. */
    makeFrame(in, 6);
    f.update(a, 1000.0 * 6 / RATE, in, out);
    CHECK(memcmp(out, rendered[6], pixels * 4) == 0, "frame 6 after a seek back differs from its first render\n");
    makeFrame(in, 7);
    f.update(a, 1000.0 * 7 / RATE, in, out);
    CHECK(memcmp(out, rendered[7], pixels * 4) == 0, "frame 7 after the seek differs\n");
    /* A seek forward to the second page, through f0r_update2. */
    makeFrame(in, 12);
    f.update2(a, 1000.0 * 12 / RATE, in, NULL, NULL, out);
    CHECK(memcmp(out, rendered[12], pixels * 4) == 0, "frame 12 after a seek forward differs\n");

    /* Seconds, as MLT gives them, and a second instance taking turns with the first. */
    f0r_instance_t b = makeInstance(&f, &p, count);
    for (int k = 0; k < 10 && b != NULL; ++k) {
        makeFrame(in, k);
        f.update(b, 100.0 + k / RATE, in, out);
        CHECK(memcmp(out, rendered[k], pixels * 4) == 0, "frame %d timed in seconds by a second instance differs\n", k);
        makeFrame(in, 13 + k % 3);
        f.update(a, 1000.0 * (13 + k % 3) / RATE, in, out);
        CHECK(memcmp(out, rendered[13 + k % 3], pixels * 4) == 0, "frame %d of the first instance differs\n",
              13 + k % 3);
    }
    if (b != NULL) f.destruct(b);

    /* A host without times (ffmpeg's frames without a timestamp come with a
     * huge negative time): the frames are counted. */
    f0r_instance_t c = makeInstance(&f, &p, count);
    for (int k = 0; k < 8 && c != NULL; ++k) {
        makeFrame(in, k);
        f.update(c, -3.6893488147419103e20, in, out);
        CHECK(memcmp(out, rendered[k], pixels * 4) == 0, "frame %d without a time differs\n", k);
    }
    if (c != NULL) f.destruct(c);

    /* Two instances rendering at once on two threads. */
    f0r_instance_t d = makeInstance(&f, &p, count), e = makeInstance(&f, &p, count);
    if (d != NULL && e != NULL) {
        ThreadRun runs[2] = {{&f, d, 0, 10, rendered, 0}, {&f, e, 0, 16, rendered, 0}};
        pthread_t threads[2];
        for (int t = 0; t < 2; ++t) CHECK(pthread_create(&threads[t], NULL, runFrames, &runs[t]) == 0, "no thread\n");
        for (int t = 0; t < 2; ++t) pthread_join(threads[t], NULL);
        for (int t = 0; t < 2; ++t)
            CHECK(runs[t].mismatches == 0, "thread %d: %d frames differ from the serial run\n", t, runs[t].mismatches);
    }
    if (d != NULL) f.destruct(d);
    if (e != NULL) f.destruct(e);

    /* A field order of its own: bottom first renders the odd lines first. */
    setString(&f, a, p.fieldOrder, "bottom");
    makeFrame(in, 4);
    f.update(a, 1000.0 * 4 / RATE, in, out);
    CHECK(differingPixels(in, out, 24) > 100, "bottom first: no title in frame 4\n");
    CHECK(memcmp(out, rendered[4], pixels * 4) != 0, "bottom first renders like top first\n");

    /* A bad value: reported, and the frames pass through. */
    setString(&f, a, p.fieldOrder, "top");
    setString(&f, a, p.align, "sideways");
    makeFrame(in, 5);
    f.update(a, 1000.0 * 5 / RATE, in, out);
    CHECK(memcmp(in, out, pixels * 4) == 0, "with align 'sideways' the frame was not passed through\n");
    setString(&f, a, p.align, "centre");
    makeFrame(in, 5);
    f.update(a, 1000.0 * 5 / RATE, in, out);
    CHECK(memcmp(out, rendered[5], pixels * 4) == 0, "after align is mended, frame 5 differs\n");
    f.destruct(a);

    f.deinit();
    for (int k = 0; k < RUN_FRAMES; ++k) free(rendered[k]);
    free(in);
    free(out);
    dlclose(handle);
    if (failures != 0) {
        fprintf(stderr, "%d check(s) failed\n", failures);
        return 1;
    }
    printf("all checks passed\n");
    return 0;
}
