#include "DownloadFakes.h"

#include "support/FakeTool.h"
#include "support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

const fs::path& recordFolder() {
    static const fs::path folder = Sandbox::makeTempFolder("records");
    return folder;
}

std::string recordLine(const std::string& file) {
    const std::string record = DownloadFakes::shellQuoted(file);
    return ": > " + record + "\nfor a in \"$@\"; do printf '%s\\0' \"$a\" >> " + record + "; done\n";
}

} // namespace

namespace DownloadFakes {

std::string shellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

fs::path recordPath(const std::string& name) {
    return recordFolder() / name;
}

std::vector<std::string> recordedArguments(const std::string& name) {
    std::vector<std::string> arguments;
    const std::string text = readFile(recordPath(name));
    std::string word;
    for (char c : text) {
        if (c == '\0') {
            arguments.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return arguments;
}

void clearRecords() {
    for (const auto& entry : fs::directory_iterator(recordFolder()))
        fs::remove_all(entry.path());
}

void installYtdlp(const std::string& body, const std::string& version) {
    // The link file's text and mode are kept too, since the run removes the file.
    const std::string link = shellQuoted(recordPath("yt-dlp.link").string());
    writeFakeTool(Sandbox::helpers() / "yt-dlp",
                  "if [ \"$1\" = --version ]; then echo " + version + "; exit 0; fi\n" +
                      recordLine(recordPath("yt-dlp").string()) +
                      "if [ -f .tallowin-link ]; then printf '%s ' \"$(stat -c %a " + ".tallowin-link)\" > " + link +
                      "; cat .tallowin-link >> " + link + "; fi\n" + body);
}

std::string recordedLink() {
    return readFile(recordPath("yt-dlp.link"));
}

void installFfprobe(const std::string& report) {
    const fs::path reportFile = recordFolder().parent_path() / "ffprobe-report.json";
    writeFile(reportFile, report);
    writeFakeTool(Sandbox::helpers() / "ffprobe",
                  "if [ \"$1\" = -version ]; then echo 'ffprobe version 6.1'; exit 0; fi\n" +
                      recordLine(recordPath("ffprobe").string()) + "cat " + shellQuoted(reportFile.string()) + "\n");
}

void installFfmpeg(const std::string& body) {
    const std::string counter = shellQuoted(recordPath("ffmpeg.count").string());
    const std::string record = shellQuoted(recordPath("ffmpeg.").string());
    writeFakeTool(Sandbox::helpers() / "ffmpeg",
                  "if [ \"$1\" = -version ]; then echo 'ffmpeg version 6.1'; exit 0; fi\n"
                  "n=$(cat " +
                      counter + " 2>/dev/null || echo 0); n=$((n+1)); echo $n > " + counter +
                      "\n"
                      ": > " +
                      record +
                      "$n\n"
                      "for a in \"$@\"; do printf '%s\\0' \"$a\" >> " +
                      record + "$n; out=$a; done\n" + body);
}

void installDeno() {
    writeFakeTool(Sandbox::helpers() / "deno", "echo 'deno 2.1.4 (stable)'\n");
}

void installAll() {
    installYtdlp("");
    installFfprobe();
    installFfmpeg();
    installDeno();
}

} // namespace DownloadFakes
