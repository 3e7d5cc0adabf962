#include "download/Mp4Conversion.h"

#include "download/DownloadError.h"
#include "download/YtdlpInvocation.h"
#include "platform/HardwareVideo.h"
#include "tools/BundledTools.h"
#include "tools/ToolProcess.h"

namespace fs = std::filesystem;

Mp4Conversion::Plan Mp4Conversion::plan(const MediaProbe& probe, const std::set<std::string>& allowedVideo) {
    Plan plan;
    plan.copyVideo = probe.videoCodec && allowedVideo.count(*probe.videoCodec) > 0;
    plan.copyAudio = !probe.audioCodec || MediaProbe::mp4AudioCodecs().count(*probe.audioCodec) > 0;
    plan.hardwareDecode = !plan.copyVideo && probe.videoCodec && MediaProbe::hardwareDecodes(*probe.videoCodec);
    return plan;
}

fs::path Mp4Conversion::outputPath(const fs::path& source) {
    fs::path output = source;
    output.replace_extension(".mp4");
    if (output == source)
        output.replace_extension(".h264.mp4");
    return output;
}

std::vector<std::string>
Mp4Conversion::arguments(const fs::path& source, const fs::path& output, const Plan& plan, VideoEncoder encoder) {
    std::vector<std::string> arguments{"-hide_banner", "-nostdin", "-y"};
    if (plan.hardwareDecode)
        arguments.insert(arguments.end(), {"-hwaccel", "vaapi"});
    arguments.insert(arguments.end(), {"-i", source.string(), "-map", "0:v:0", "-map", "0:a:0?"});
    switch (encoder) {
    case VideoEncoder::copy:
        arguments.insert(arguments.end(), {"-c:v", "copy"});
        break;
    case VideoEncoder::hardware:
        arguments.insert(arguments.end(),
                         {"-vaapi_device",
                          HardwareVideo::renderNode().string(),
                          "-vf",
                          "format=nv12,hwupload",
                          "-c:v",
                          "h264_vaapi",
                          "-qp",
                          "24"});
        break;
    case VideoEncoder::software:
        arguments.insert(arguments.end(),
                         {"-c:v", "libx264", "-preset", "veryfast", "-crf", "20", "-pix_fmt", "yuv420p"});
        break;
    }
    if (plan.copyAudio)
        arguments.insert(arguments.end(), {"-c:a", "copy"});
    else
        arguments.insert(arguments.end(), {"-c:a", "aac", "-b:a", "192k"});
    arguments.insert(arguments.end(), {"-movflags", "+faststart", output.string()});
    return arguments;
}

Mp4Conversion::Result Mp4Conversion::makeMP4(const fs::path& source,
                                             const MediaProbe& probe,
                                             const std::set<std::string>& allowedVideo,
                                             std::stop_token stopToken) {
    const Plan decided = plan(probe, allowedVideo);
    const fs::path output = outputPath(source);
    auto outputExists = [&output] {
        std::error_code error;
        return fs::exists(output, error);
    };

    const VideoEncoder firstEncoder = decided.copyVideo ? VideoEncoder::copy : VideoEncoder::hardware;
    const ToolProcessResult first = ToolProcess::run(
        BundledTools::ffmpeg(), arguments(source, output, decided, firstEncoder), std::nullopt, stopToken);
    if (first.status == 0) {
        if (!outputExists())
            throw DownloadError::conversionFailed(YtdlpInvocation::summarize(first.standardError));
        return {output, !decided.copyVideo};
    }
    if (decided.copyVideo)
        throw DownloadError::conversionFailed(YtdlpInvocation::summarize(first.standardError));

    std::error_code removeError;
    fs::remove(output, removeError);
    // After a stop request the user wants the tool gone, not a full software encode.
    if (stopToken.stop_requested())
        throw DownloadError::conversionFailed(YtdlpInvocation::summarize(first.standardError));

    const ToolProcessResult second = ToolProcess::run(
        BundledTools::ffmpeg(), arguments(source, output, decided, VideoEncoder::software), std::nullopt, stopToken);
    if (second.status == 0 && outputExists())
        return {output, true};
    throw DownloadError::conversionFailed(YtdlpInvocation::summarize(second.standardError));
}
