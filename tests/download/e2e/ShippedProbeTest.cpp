// The shipped ffprobe against Debian's over every media fixture: the probe step, and yt-dlp's own
// probing, must read exactly what Debian's full build reads.
#include "MediaFixtures.h"

#include "tools/BundledTools.h"
#include "tools/ToolProcess.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cctype>

namespace fs = std::filesystem;

namespace {

// The fields anything of ours or yt-dlp's reads, of every stream and of the container.
nlohmann::json fieldsOf(const fs::path& probe, const fs::path& file) {
    const auto result = ToolProcess::run(
        probe, {"-v", "error", "-print_format", "json", "-show_streams", "-show_format", file.string()});
    nlohmann::json fields = {{"status", result.status}};
    if (result.status != 0)
        return fields;
    const nlohmann::json report = nlohmann::json::parse(result.standardOutput);
    for (const auto& stream : report.value("streams", nlohmann::json::array())) {
        nlohmann::json kept;
        for (const char* key : {"codec_name",
                                "codec_type",
                                "profile",
                                "pix_fmt",
                                "disposition",
                                "codec_tag_string",
                                "color_transfer",
                                "color_primaries"})
            kept[key] = stream.value(key, nlohmann::json());
        fields["streams"].push_back(kept);
    }
    for (const char* key : {"format_name", "duration"})
        fields[key] = report.value("format", nlohmann::json::object()).value(key, nlohmann::json());
    return fields;
}

class ShippedProbe : public testing::TestWithParam<std::string> {};

} // namespace

TEST_P(ShippedProbe, ReportsWhatDebiansFfprobeReports) {
    const fs::path fixture = MediaFixtures::fixture(GetParam());
    // A manifest or playlist is yt-dlp's to follow and never reaches a probe: its segments do.
    std::vector<fs::path> files{fixture};
    if (fixture.extension() == ".mpd" || fixture.extension() == ".m3u8") {
        files.clear();
        for (const auto& entry : fs::directory_iterator(fixture.parent_path())) {
            if (entry.path() != fixture)
                files.push_back(entry.path());
        }
    }
    ASSERT_FALSE(files.empty());
    for (const fs::path& file : files)
        EXPECT_EQ(fieldsOf(BundledTools::ffprobe(), file).dump(1), fieldsOf("/usr/bin/ffprobe", file).dump(1)) << file;
}

INSTANTIATE_TEST_SUITE_P(EveryFixture,
                         ShippedProbe,
                         testing::ValuesIn(MediaFixtures::names()),
                         [](const testing::TestParamInfo<std::string>& test) {
                             std::string name = test.param;
                             for (char& c : name)
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });
