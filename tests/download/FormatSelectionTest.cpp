#include "download/FormatSelection.h"

#include "platform/HardwareVideo.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

namespace {

// Replaces the hardware answer for one test.
class HardwareAnswer {
public:
    explicit HardwareAnswer(bool decodesAv1) {
        HardwareVideo::setAnswerSource([decodesAv1](std::string_view codec) { return decodesAv1 && codec == "av1"; });
    }
    ~HardwareAnswer() { HardwareVideo::setAnswerSource({}); }
};

struct FormatRow {
    const char* name;
    VideoQuality quality;
    bool forceMP4;
    bool compatibleMP4;
    bool av1Hardware;
    std::vector<std::string> expected;
};

// Names the row in test listings instead of dumping its bytes.
inline void PrintTo(const FormatRow& row, std::ostream* out) {
    *out << row.name;
}

const std::string plain = "^(avc1|h264|hev1|hvc1)";
const std::string withAv1 = "^(avc1|h264|hev1|hvc1|av01)";

std::string highestMp4(const std::string& pattern) {
    return "bv*[vcodec~='" + pattern +
           "'][ext=mp4]+ba[acodec~='^mp4a'][ext=m4a]/bv*[ext=mp4]+ba[acodec~='^mp4a'][ext=m4a]/"
           "bv*[ext=mp4]+ba[ext=m4a]/"
           "b[ext=mp4]/bv*+ba/b";
}

std::string cappedMp4(const std::string& pattern, const std::string& h) {
    return "bv*[vcodec~='" + pattern + "'][ext=mp4][height<=" + h +
           "]+ba[acodec~='^mp4a'][ext=m4a]/bv*[ext=mp4][height<=" + h +
           "]+ba[acodec~='^mp4a'][ext=m4a]/bv*[ext=mp4][height<=" + h + "]+ba[ext=m4a]/b[ext=mp4][height<=" + h +
           "]/bv*[height<=" + h + "]+ba/b[height<=" + h + "]/b";
}

std::string capped(const std::string& h) {
    return "bv*[height<=" + h + "]+ba/b[height<=" + h + "]/b";
}

const std::string mp4Sort4K = "bv*[height<=2160]+ba[acodec~='^mp4a'][ext=m4a]/bv*[height<=2160]+ba/b[height<=2160]/b";

// Every row of the argument table, each with the AV1 hardware answer on and off.
const FormatRow rows[] = {
    {"highest_plain_noHw", VideoQuality::highest, false, false, false, {}},
    {"highest_plain_hw", VideoQuality::highest, false, false, true, {}},
    {"highest_plain_compatible_hw", VideoQuality::highest, false, true, true, {}},
    {"highest_mp4_noHw", VideoQuality::highest, true, false, false, {"--format", highestMp4(plain)}},
    {"highest_mp4_hw", VideoQuality::highest, true, false, true, {"--format", highestMp4(withAv1)}},
    {"highest_mp4_compatible_hw",
     VideoQuality::highest,
     true,
     true,
     true,
     {"--format", highestMp4(plain), "--format-sort", "res,hdr:sdr"}},
    {"p2160_plain_noHw",
     VideoQuality::p2160,
     false,
     false,
     false,
     {"--format", capped("2160"), "--format-sort", "res:2160"}},
    {"p2160_plain_compatible_hw",
     VideoQuality::p2160,
     false,
     true,
     true,
     {"--format", capped("2160"), "--format-sort", "res:2160"}},
    {"p2160_mp4_compatible_hw",
     VideoQuality::p2160,
     true,
     true,
     true,
     {"--format", mp4Sort4K, "--format-sort", "res:2160,hdr:sdr,vcodec:h264,acodec:aac,ext:mp4:m4a"}},
    {"p2160_mp4_compatible_noHw",
     VideoQuality::p2160,
     true,
     true,
     false,
     {"--format", mp4Sort4K, "--format-sort", "res:2160,hdr:sdr,vcodec:h264,acodec:aac,ext:mp4:m4a"}},
    {"p2160_mp4_hw",
     VideoQuality::p2160,
     true,
     false,
     true,
     {"--format", mp4Sort4K, "--format-sort", "res:2160,vcodec:av01,acodec:aac,ext:mp4:m4a"}},
    {"p2160_mp4_noHw",
     VideoQuality::p2160,
     true,
     false,
     false,
     {"--format", mp4Sort4K, "--format-sort", "res:2160,acodec:aac,ext:mp4:m4a"}},
    {"p1080_plain_noHw", VideoQuality::p1080, false, false, false, {"--format", capped("1080")}},
    {"p720_plain_hw", VideoQuality::p720, false, false, true, {"--format", capped("720")}},
    {"p480_plain_compatible_hw", VideoQuality::p480, false, true, true, {"--format", capped("480")}},
    {"p1080_mp4_noHw", VideoQuality::p1080, true, false, false, {"--format", cappedMp4(plain, "1080")}},
    {"p1080_mp4_hw", VideoQuality::p1080, true, false, true, {"--format", cappedMp4(withAv1, "1080")}},
    {"p720_mp4_noHw", VideoQuality::p720, true, false, false, {"--format", cappedMp4(plain, "720")}},
    {"p720_mp4_hw", VideoQuality::p720, true, false, true, {"--format", cappedMp4(withAv1, "720")}},
    {"p480_mp4_hw", VideoQuality::p480, true, false, true, {"--format", cappedMp4(withAv1, "480")}},
    {"p480_mp4_compatible_hw",
     VideoQuality::p480,
     true,
     true,
     true,
     {"--format", cappedMp4(plain, "480"), "--format-sort", "res,hdr:sdr"}},
    {"p1080_mp4_compatible_noHw",
     VideoQuality::p1080,
     true,
     true,
     false,
     {"--format", cappedMp4(plain, "1080"), "--format-sort", "res,hdr:sdr"}},
    {"audio_plain_noHw",
     VideoQuality::audioOnly,
     false,
     false,
     false,
     {"--format", "ba/b", "--extract-audio", "--audio-format", "best", "--audio-quality", "0"}},
    {"audio_plain_compatible_hw",
     VideoQuality::audioOnly,
     false,
     true,
     true,
     {"--format", "ba/b", "--extract-audio", "--audio-format", "best", "--audio-quality", "0"}},
    {"audio_mp4_hw",
     VideoQuality::audioOnly,
     true,
     false,
     true,
     {"--format", "ba[acodec~='^mp4a']/ba/b", "--extract-audio", "--audio-format", "m4a", "--audio-quality", "0"}},
    {"audio_mp4_compatible_noHw",
     VideoQuality::audioOnly,
     true,
     true,
     false,
     {"--format", "ba[acodec~='^mp4a']/ba/b", "--extract-audio", "--audio-format", "m4a", "--audio-quality", "0"}},
};

class FormatArguments : public testing::TestWithParam<FormatRow> {};

} // namespace

TEST_P(FormatArguments, MatchTheTable) {
    const FormatRow& row = GetParam();
    HardwareAnswer answer(row.av1Hardware);
    // The pipeline hands the format rules compatible only together with forceMP4.
    EXPECT_EQ(FormatSelection::formatArguments(row.quality, row.forceMP4, row.forceMP4 && row.compatibleMP4),
              row.expected);
}

INSTANTIATE_TEST_SUITE_P(EveryInput,
                         FormatArguments,
                         testing::ValuesIn(rows),
                         [](const testing::TestParamInfo<FormatRow>& test) { return std::string(test.param.name); });
