#include "download/PageMetadata.h"

#include "tools/Text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string stringField(const nlohmann::json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

double numberField(const nlohmann::json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_number() ? found->get<double>() : NAN;
}

// "20240501" gives "2024-05-01", the form players and libraries read; anything else nothing.
std::string isoDate(const std::string& uploadDate) {
    if (uploadDate.size() != 8 || uploadDate.find_first_not_of("0123456789") != std::string::npos)
        return {};
    return uploadDate.substr(0, 4) + "-" + uploadDate.substr(4, 2) + "-" + uploadDate.substr(6, 2);
}

// The link without "user:password@": a tag is read by whoever gets the file.
std::string withoutUserInfo(std::string link) {
    const std::size_t scheme = link.find("://");
    if (scheme == std::string::npos)
        return link;
    const std::size_t authorityStart = scheme + 3;
    const std::size_t authorityEnd = std::min(link.find_first_of("/?#", authorityStart), link.size());
    const std::size_t atSign = link.rfind('@', authorityEnd);
    if (atSign != std::string::npos && atSign >= authorityStart)
        link.erase(authorityStart, atSign + 1 - authorityStart);
    return link;
}

std::string escaped(std::string_view value) {
    std::string out;
    for (char c : value) {
        if (c == '\0')
            continue;
        if (c == '=' || c == ';' || c == '#' || c == '\\' || c == '\n')
            out += '\\';
        out += c;
    }
    return out;
}

} // namespace

std::string PageMetadata::ytdlpTemplate() {
    return "%(.{title,uploader,upload_date,description,webpage_url,chapters})j";
}

std::optional<PageMetadata> PageMetadata::parse(std::string_view text) {
    const std::vector<std::string> lines = Text::splitLines(text);
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        const nlohmann::json object = nlohmann::json::parse(*line, nullptr, false);
        if (!object.is_object())
            continue;
        PageMetadata page;
        page.title = stringField(object, "title");
        page.artist = stringField(object, "uploader");
        page.date = isoDate(stringField(object, "upload_date"));
        page.description = stringField(object, "description");
        page.link = withoutUserInfo(stringField(object, "webpage_url"));
        const auto chapters = object.find("chapters");
        if (chapters != object.end() && chapters->is_array()) {
            for (const nlohmann::json& chapter : *chapters) {
                if (!chapter.is_object())
                    continue;
                const double start = numberField(chapter, "start_time");
                const double end = numberField(chapter, "end_time");
                if (start >= 0 && end > start)
                    page.chapters.push_back({start, end, stringField(chapter, "title")});
            }
        }
        return page;
    }
    return std::nullopt;
}

std::optional<PageMetadata> PageMetadata::take(const fs::path& folder) {
    const fs::path file = folder / fileName;
    std::ifstream in(file, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    in.close();
    std::error_code ignored;
    fs::remove(file, ignored);
    return parse(text);
}

std::string PageMetadata::ffmetadata() const {
    std::string out = ";FFMETADATA1\n";
    const std::pair<const char*, const std::string*> tags[] = {
        {"title", &title}, {"artist", &artist}, {"date", &date}, {"description", &description}, {"comment", &link}};
    for (const auto& [key, value] : tags) {
        if (!value->empty())
            out += std::string(key) + "=" + escaped(*value) + "\n";
    }
    for (const PageChapter& chapter : chapters) {
        out += "[CHAPTER]\nTIMEBASE=1/1000\n";
        out += "START=" + std::to_string(std::llround(chapter.start * 1000)) + "\n";
        out += "END=" + std::to_string(std::llround(chapter.end * 1000)) + "\n";
        if (!chapter.title.empty())
            out += "title=" + escaped(chapter.title) + "\n";
    }
    return out;
}
