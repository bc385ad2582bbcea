#include "tools/host/render_job.h"

#include <algorithm>
#include <csignal>
#include <cstring>

#include "standin/standin_control.h"
#include "tools/host/commands.h"
#include "tools/host/interrupt.h"
#include "tools/host/plugin_loader.h"
#include "tools/host/progress.h"

namespace zask {

std::vector<uint8_t> padForBottomFirst(const std::vector<uint8_t>& planes, int width, int height) {
    const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
    std::vector<uint8_t> out(3 * w * (h + 2));
    for (size_t c = 0; c < 3; ++c) {
        const uint8_t* in = planes.data() + c * w * h;
        uint8_t* o = out.data() + c * w * (h + 2);
        std::memcpy(o, in + w * (h > 1 ? 1 : 0), w);
        std::memcpy(o + w, in, w * h);
        std::memcpy(o + w * (h + 1), in + w * (h >= 2 ? h - 2 : 0), w);
    }
    return out;
}

std::vector<uint8_t> unpadBottomFirst(const std::vector<uint8_t>& padded, int width, int height) {
    const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
    std::vector<uint8_t> out(3 * w * h);
    for (size_t c = 0; c < 3; ++c) std::memcpy(out.data() + c * w * h, padded.data() + c * w * (h + 2) + w, w * h);
    return out;
}

std::vector<uint32_t> pageStartFields(uint32_t pageCount, uint32_t clipLength, long long first, long long start) {
    std::vector<uint32_t> fields;
    if (start <= first || pageCount == 0 || clipLength / pageCount == 0) return fields;
    const uint64_t pageLength = clipLength / pageCount;
    const uint64_t firstField = static_cast<uint64_t>(2 * first), endField = static_cast<uint64_t>(2 * start);
    for (uint64_t page = firstField / pageLength; page <= (endField - 1) / pageLength; ++page)
        fields.push_back(static_cast<uint32_t>(std::max(firstField, page * pageLength)));
    return fields;
}

namespace {

// A render from frame `from` enters a page (loads its letters and scenes, and
// in zask6 draws its random scenes) at its first field and wherever the page
// number grows. Renders, with the log muted and the output thrown away, the
// first field of every page such a render entered before frame `start`.
bool replayPageStarts(const RenderJob& job, const std::function<int32_t(uint16_t, uint32_t, uint8_t)>& act,
                      int width, int height, bool bottomFirst, long long start) {
    const uint32_t pageCount = job.title != nullptr ? job.title->pageCount : 0;
    const std::vector<uint32_t> fields = pageStartFields(pageCount, job.clipLength, job.renderFrom, start);
    standin::setLogMuted(true);
    bool ok = true;
    for (size_t i = 0; ok && i < fields.size(); ++i) {
        const uint32_t field = fields[i];
        const size_t k = field / 2;
        std::vector<uint8_t> frame = job.source->frame444(k);
        if (bottomFirst) frame = padForBottomFirst(frame, width, height);
        std::vector<uint8_t> scratch = frame;
        standin::setInputFrame(width, bottomFirst ? height + 2 : height, k, std::move(frame));
        standin::setOutputFrame(scratch.data());
        ok = act(actionRender, field, (field & 1) != 0 ? requestFlagSecondField : 0) == 0;
        standin::setOutputFrame(nullptr);
    }
    standin::setLogMuted(false);
    return ok;
}

struct JobSession {
    ~JobSession() {
        standin::setOutputFrame(nullptr);
        standin::clearInputClip();
        standin::resetImages();
        standin::closeLogFile();
    }
};

}  // namespace

int runRenderJob(RenderJob& job, std::string& error) {
    // A dead ffmpeg must show as a write error, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    JobSession session;
    if (!job.logPath.empty() && !standin::openLogFile(job.logPath, error)) {
        error = job.logPath + ": cannot create the log: " + error;
        return exitUsage;
    }
    auto plugin = Plugin::load(job.pluginPath, error);
    if (!plugin) return exitUsage;
    std::vector<OperatorTag> tags;
    if (!readDescriptor(plugin->getOperatorInfo(), tags, error)) {
        error = job.pluginPath + ": " + error;
        return exitUsage;
    }
    uint8_t* block = settingsBlock(tags, error);
    if (block == nullptr) {
        error = job.pluginPath + ": " + error;
        return exitUsage;
    }
    if (job.configure && !job.configure(block, error)) return exitUsage;
    std::unique_ptr<VideoSink> sink = job.openSink(error);
    if (!sink) return exitUsage;

    setenv("KTHOME", job.kthome.c_str(), 1);
    const VideoFormat& format = job.source->format;
    const int width = format.width, height = format.height;
    const bool bottomFirst = format.interlace == Interlace::bottomFirst;
    standin::resetImages();
    standin::resetCounters();

    ActionRequest request{};
    request.flags = job.draft ? requestFlagDraft : 0;
    request.clipLength = job.clipLength;
    request.aspectNum = job.aspectNum;
    request.aspectDen = job.aspectDen;
    request.title = job.title;
    auto act = [&](uint16_t action, uint32_t position, uint8_t secondField) {
        ActionRequest r = request;
        r.action = action;
        r.position = position;
        r.flags = static_cast<uint8_t>(request.flags | secondField);
        return plugin->operatorAction(&r);
    };

    int status = exitSuccess;
    if (act(actionInitialise, 0, 0) == -1) {
        error = job.pluginPath + ": initialisation (action 1) failed";
        status = exitFailure;
    }
    if (status == exitSuccess && !replayPageStarts(job, act, width, height, bottomFirst, job.first)) {
        error = job.pluginPath + ": a page start before frame " + std::to_string(job.first) + " failed to render";
        status = exitFailure;
    }
    Progress progress(job.progressLabel, job.last - job.first, job.quiet);
    size_t nextSample = 0;
    for (long long k = job.first; status == exitSuccess && k < job.last; ++k) {
        if (interrupted()) {
            act(actionRelease, 0, 0);
            error = interruptDescription();
            return exitInterrupted;  // the sink, unfinished, removes what it wrote
        }
        std::vector<uint8_t> original = job.source->frame444(static_cast<size_t>(k));
        std::vector<uint8_t> presented = bottomFirst ? padForBottomFirst(original, width, height) : original;
        std::vector<uint8_t> output = presented;
        // Only the frame being rendered is held; the plug-in asks for no other.
        standin::setInputFrame(width, bottomFirst ? height + 2 : height, static_cast<size_t>(k), std::move(presented));
        standin::setOutputFrame(output.data());
        for (uint32_t p = 0; p < 2 && status == exitSuccess; ++p) {
            uint32_t position = static_cast<uint32_t>(2 * k + p);
            int32_t result = act(actionRender, position, p != 0 ? requestFlagSecondField : 0);
            if (result != 0) {
                error = job.pluginPath + ": field " + std::to_string(position) + " (frame " + std::to_string(k) +
                        ") failed with " + std::to_string(result);
                status = exitFailure;
            }
        }
        standin::setOutputFrame(nullptr);
        if (status != exitSuccess) break;
        if (bottomFirst) output = unpadBottomFirst(output, width, height);
        if (!sink->write(static_cast<size_t>(k), output, error)) {
            act(actionRelease, 0, 0);
            return exitUsage;
        }
        if (job.samples != nullptr && nextSample < job.sampleAt.size() && job.sampleAt[nextSample] == k) {
            // The first field alone, line-doubled: a still without combing.
            std::vector<uint8_t> field = output;
            const size_t w = static_cast<size_t>(width);
            const int firstLine = bottomFirst ? 1 : 0;  // the clip's first field
            for (int c = 0; c < 3; ++c)
                for (int y = 0; y < height; ++y) {
                    int from = std::min(height - 1, (y & ~1) + firstLine);
                    std::memcpy(field.data() + (c * static_cast<size_t>(height) + y) * w,
                                output.data() + (c * static_cast<size_t>(height) + from) * w, w);
                }
            job.samples->push_back({k, planarToRgb(field, width, height)});
            ++nextSample;
        }
        progress.update(k + 1 - job.first);
    }
    act(actionRelease, 0, 0);

    standin::ImageCounts images = standin::imageCounts();
    if (images.outstanding != 0 || images.badReleases != 0)
        std::fprintf(stderr, "zask render: warning: the plug-in left %llu host images unreleased and made %llu wrong releases\n",
                     static_cast<unsigned long long>(images.outstanding),
                     static_cast<unsigned long long>(images.badReleases));
    std::string finishError;
    if (!sink->finish(finishError)) {
        error = finishError;
        return exitUsage;
    }
    if (job.outputDescription != nullptr) *job.outputDescription = sink->describe();
    return status;
}

}  // namespace zask
