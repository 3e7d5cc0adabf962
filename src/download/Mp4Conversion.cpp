#include "download/Mp4Conversion.h"

#include "download/DownloadError.h"
#include "download/FfmpegProgressParser.h"
#include "platform/HardwareVideo.h"
#include "platform/OperationCancelled.h"
#include "platform/PrivateFile.h"
#include "tools/BundledTools.h"
#include "tools/Text.h"
#include "tools/ToolProcess.h"

#include <cstring>

namespace fs = std::filesystem;

namespace {

bool videoMayStay(const MediaProbe& probe, const std::set<std::string>& allowedVideo) {
    return probe.videoCodec && allowedVideo.count(*probe.videoCodec) > 0;
}

bool audioMayStay(const MediaProbe& probe) {
    return !probe.audioCodec || MediaProbe::mp4AudioCodecs().count(*probe.audioCodec) > 0;
}

bool isAudioOnly(const MediaProbe& probe) {
    return !probe.videoCodec && probe.audioCodec;
}

// Both encoders write 4:2:0, which has no odd width or height (libx264 refuses one, "width not
// divisible by 2"). crop drops the last column or row, so each kept pixel stays as it was: no
// resampling, the sample aspect kept, and a picture of even size passes unchanged. A scale to the
// even size would instead resample every pixel and stretch the picture by that one pixel.
constexpr const char* evenSize = "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0";

// PQ or HLG to BT.709 SDR: to linear light (100 nits as reference white), BT.709 primaries, the
// hable curve, then BT.709 transfer and matrix in limited range, 8-bit 4:2:0. Without it libx264
// writes 8-bit video that still says HDR, which players show grey and washed out.
constexpr const char* toneMapToSdr = "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,"
                                     "tonemap=tonemap=hable:desat=0,zscale=t=bt709:m=bt709:r=tv,format=yuv420p";

// Of ffmpeg's lines, those that name an encoder's refusal rather than its consequences.
bool isEncoderCause(std::string_view line) {
    for (std::string_view marker : {"divisible", "Invalid", "Error while opening encoder"}) {
        if (line.find(marker) != std::string_view::npos)
            return true;
    }
    return false;
}

// The page's tags in a file beside the source for ffmpeg to read; none when there is no page or
// the file cannot be written (the conversion goes on with the source's own).
std::optional<Mp4Conversion::PageTags> writePageTags(const fs::path& source, const std::optional<PageMetadata>& page) {
    if (!page)
        return std::nullopt;
    const fs::path file = source.parent_path() / ".tallowin-page.ffmeta";
    try {
        std::error_code ignored;
        fs::remove(file, ignored);
        PrivateFile::create(file, page->ffmetadata());
    } catch (const fs::filesystem_error&) {
        return std::nullopt;
    }
    return Mp4Conversion::PageTags{file, !page->chapters.empty()};
}

} // namespace

bool Mp4Conversion::alreadyFits(const MediaProbe& probe, const std::set<std::string>& allowedVideo) {
    if (isAudioOnly(probe))
        return probe.containerExtension == "m4a" && audioMayStay(probe);
    return probe.containerExtension == "mp4" && videoMayStay(probe, allowedVideo) && !probe.isHev1() &&
           audioMayStay(probe);
}

Mp4Conversion::Plan Mp4Conversion::plan(const MediaProbe& probe, const std::set<std::string>& allowedVideo) {
    Plan plan;
    plan.copyVideo = videoMayStay(probe, allowedVideo);
    plan.copyAudio = audioMayStay(probe);
    plan.audioOnly = isAudioOnly(probe);
    plan.tagHvc1 = plan.copyVideo && probe.videoCodec == "hevc";
    plan.toneMap = !plan.copyVideo && !plan.audioOnly && probe.isHdr();
    // The tone-map runs in software filters on frames in memory: no hardware decode to feed it.
    plan.hardwareDecode = !plan.copyVideo && !plan.audioOnly && !plan.toneMap && probe.videoCodec &&
                          MediaProbe::hardwareDecodes(*probe.videoCodec);
    return plan;
}

fs::path Mp4Conversion::outputPath(const fs::path& source, bool audioOnly) {
    fs::path output = source;
    output.replace_extension(audioOnly ? ".m4a" : ".mp4");
    if (output == source)
        output.replace_extension(audioOnly ? ".audio.m4a" : ".h264.mp4");
    return output;
}

namespace {

// The source (input 0), the page's tags (input 1) when given, and the streams taken.
void addInputs(std::vector<std::string>& arguments,
               const fs::path& source,
               const std::optional<Mp4Conversion::PageTags>& page,
               std::initializer_list<const char*> streams) {
    arguments.insert(arguments.end(), {"-i", source.string()});
    if (page)
        arguments.insert(arguments.end(), {"-f", "ffmetadata", "-i", page->file.string()});
    for (const char* stream : streams)
        arguments.insert(arguments.end(), {"-map", stream});
    // Each tag from the first of these that has it: the page's, then the file's own.
    if (page)
        arguments.insert(arguments.end(), {"-map_metadata", "1"});
    arguments.insert(arguments.end(), {"-map_metadata", "0", "-map_chapters", page && page->chapters ? "1" : "0"});
}

} // namespace

std::vector<std::string> Mp4Conversion::arguments(const fs::path& source,
                                                  const fs::path& output,
                                                  const Plan& plan,
                                                  VideoEncoder encoder,
                                                  const std::optional<PageTags>& page) {
    std::vector<std::string> arguments{"-hide_banner", "-nostdin", "-y", "-progress", "pipe:1", "-nostats"};
    if (plan.audioOnly) {
        addInputs(arguments, source, page, {"0:a:0"});
        if (plan.copyAudio)
            arguments.insert(arguments.end(), {"-c:a", "copy"});
        else
            arguments.insert(arguments.end(), {"-c:a", "aac", "-b:a", "192k"});
        arguments.insert(arguments.end(), {"-movflags", "+faststart", "-f", "mp4", output.string()});
        return arguments;
    }
    if (plan.hardwareDecode)
        arguments.insert(arguments.end(), {"-hwaccel", "vaapi"});
    addInputs(arguments, source, page, {"0:v:0", "0:a:0?"});
    switch (encoder) {
    case VideoEncoder::copy:
        arguments.insert(arguments.end(), {"-c:v", "copy"});
        // ffmpeg's default "hev1" plays in no Apple player; "hvc1" plays everywhere.
        if (plan.tagHvc1)
            arguments.insert(arguments.end(), {"-tag:v", "hvc1"});
        break;
    case VideoEncoder::hardware:
        arguments.insert(arguments.end(),
                         {"-vaapi_device",
                          HardwareVideo::renderNode().string(),
                          "-vf",
                          std::string(evenSize) + ",format=nv12,hwupload",
                          "-c:v",
                          "h264_vaapi",
                          "-qp",
                          "24"});
        break;
    case VideoEncoder::software:
        arguments.insert(arguments.end(),
                         {"-vf",
                          plan.toneMap ? std::string(evenSize) + "," + toneMapToSdr : std::string(evenSize),
                          "-c:v",
                          "libx264",
                          "-preset",
                          "veryfast",
                          "-crf",
                          "20",
                          "-pix_fmt",
                          "yuv420p"});
        // Said outright: ffmpeg would otherwise copy the source's HDR tags onto the SDR picture.
        if (plan.toneMap)
            arguments.insert(arguments.end(),
                             {"-color_primaries", "bt709", "-color_trc", "bt709", "-colorspace", "bt709"});
        break;
    }
    if (plan.copyAudio)
        arguments.insert(arguments.end(), {"-c:a", "copy"});
    else
        arguments.insert(arguments.end(), {"-c:a", "aac", "-b:a", "192k"});
    arguments.insert(arguments.end(), {"-movflags", "+faststart", output.string()});
    return arguments;
}

std::string Mp4Conversion::failureSummary(std::string_view standardError) {
    const std::vector<std::string> lines = Text::visibleLines(standardError);
    const std::string systemError = Text::lastNonEmpty(lines, [](std::string_view line) {
        std::string text = Text::afterLastCarriageReturn(line);
        // ffmpeg prints a system error as "<what>: <strerror>", in English whatever the locale.
        for (int number = 1; number < 256; ++number) {
            const char* description = strerrordesc_np(number);
            if (description && text.ends_with(": " + std::string(description)))
                return text;
        }
        return std::string();
    });
    if (!systemError.empty())
        return systemError;
    // The first such line is the encoder's own; what follows it ("Error while opening encoder",
    // the audio encoder's closing notes) only reports the consequences.
    for (const std::string& line : lines) {
        std::string text = Text::afterLastCarriageReturn(line);
        if (isEncoderCause(text))
            return text;
    }
    std::string rest;
    for (const std::string& line : lines) {
        if (Text::afterLastCarriageReturn(line) != "Conversion failed!")
            rest += line + "\n";
    }
    // Only the closing line: better that than "unknown error".
    return rest.empty() && !lines.empty() ? Text::summarize(standardError) : Text::summarize(rest);
}

bool Mp4Conversion::outputUnfinished(std::string_view standardError) {
    for (const std::string& line : Text::visibleLines(standardError)) {
        const std::string text = Text::afterLastCarriageReturn(line);
        if (text.starts_with("Error writing trailer of ") || text.starts_with("Error closing file "))
            return true;
    }
    return false;
}

Mp4Conversion::Result Mp4Conversion::makeMP4(const fs::path& source,
                                             const MediaProbe& probe,
                                             const std::set<std::string>& allowedVideo,
                                             std::stop_token stopToken,
                                             const DownloadProgressHandler& onProgress,
                                             const std::optional<PageMetadata>& page) {
    const Plan decided = plan(probe, allowedVideo);
    // A repackaged MP4 keeps its name ("T.h264.mp4" would name a codec it may not hold); it is
    // written beside the source and takes the source's place only once complete.
    const bool replacesSource = decided.copyVideo && !decided.audioOnly && source.extension() == ".mp4";
    const fs::path output = replacesSource ? source.parent_path() / ("." + source.stem().string() + ".repackaged.mp4")
                                           : outputPath(source, decided.audioOnly);
    const std::optional<PageTags> tags = writePageTags(source, page);
    struct RemoveTags {
        const std::optional<PageTags>& tags;
        ~RemoveTags() {
            std::error_code ignored;
            if (tags)
                fs::remove(tags->file, ignored);
        }
    } removeTags{tags};
    auto outputExists = [&output] {
        std::error_code error;
        return fs::exists(output, error);
    };
    auto succeeded = [&](const ToolProcessResult& result) {
        return result.status == 0 && !outputUnfinished(result.standardError) && outputExists();
    };
    // A failed attempt's file is never left beside the source.
    auto fail = [&output](const ToolProcessResult& result) {
        std::error_code removeError;
        fs::remove(output, removeError);
        return DownloadError::conversionFailed(failureSummary(result.standardError));
    };

    // One attempt's ffmpeg, reporting from 0.
    auto runAttempt = [&](VideoEncoder encoder) {
        FfmpegProgressParser parser(probe.durationSeconds);
        ToolProcess::LineHandler onLine;
        // Nothing is re-encoded when the streams that matter are copied.
        const bool copies = decided.audioOnly ? decided.copyAudio : encoder == VideoEncoder::copy;
        const DownloadProgress::Phase phase =
            copies ? DownloadProgress::Phase::repackaging : DownloadProgress::Phase::converting;
        if (onProgress) {
            DownloadProgress start;
            start.phase = phase;
            if (probe.durationSeconds)
                start.fraction = 0.0;
            onProgress(start);
            onLine = [&parser, &onProgress, phase](ToolProcess::Stream stream, std::string_view line) {
                if (stream != ToolProcess::Stream::standardOutput)
                    return;
                if (auto progress = parser.read(line)) {
                    progress->phase = phase;
                    onProgress(*progress);
                }
            };
        }
        try {
            return ToolProcess::run(BundledTools::ffmpeg(),
                                    arguments(source, output, decided, encoder, tags),
                                    std::nullopt,
                                    stopToken,
                                    std::nullopt,
                                    onLine);
        } catch (const OperationCancelled&) {
            std::error_code removeError;
            fs::remove(output, removeError);
            throw;
        }
    };

    // Without a device that initialises, the hardware attempt could only fail: libx264 at once.
    // The tone-map is a software filter chain, so an HDR source goes to libx264 as well.
    const bool copying = decided.copyVideo || decided.audioOnly;
    const VideoEncoder firstEncoder = copying                                       ? VideoEncoder::copy
                                      : !decided.toneMap && HardwareVideo::usable() ? VideoEncoder::hardware
                                                                                    : VideoEncoder::software;
    const ToolProcessResult first = runAttempt(firstEncoder);
    if (succeeded(first) && replacesSource) {
        std::error_code renameError;
        fs::rename(output, source, renameError);
        if (renameError) {
            fs::remove(output, renameError);
            throw DownloadError::conversionFailed(renameError.message());
        }
        return {source, false};
    }
    if (succeeded(first))
        return {output, decided.audioOnly ? !decided.copyAudio : !decided.copyVideo};
    // A run that says it succeeded, the copy and the software encoder get no second attempt.
    if (first.status == 0 || firstEncoder != VideoEncoder::hardware)
        throw fail(first);

    std::error_code removeError;
    fs::remove(output, removeError);
    const ToolProcessResult second = runAttempt(VideoEncoder::software);
    if (succeeded(second))
        return {output, true};
    throw fail(second);
}
