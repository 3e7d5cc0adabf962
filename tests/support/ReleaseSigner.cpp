#include "support/ReleaseSigner.h"

#include "support/CliRun.h"
#include "support/FakeTool.h"
#include "support/Sandbox.h"

#include <stdexcept>

namespace fs = std::filesystem;

namespace {

constexpr const char* gpg = "/usr/bin/gpg";

void runGpg(const fs::path& home, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--homedir", home.string(), "--batch", "--quiet", "--yes"});
    const CliResult result = runProgram(gpg, arguments, {}, std::chrono::seconds(60));
    if (result.exitStatus != 0)
        throw std::runtime_error("gpg failed: " + result.err);
}

} // namespace

const ReleaseSigner& ReleaseSigner::trusted() {
    static const ReleaseSigner signer("Tallowin Test Release Key");
    return signer;
}

const ReleaseSigner& ReleaseSigner::other() {
    static const ReleaseSigner signer("Someone Else");
    return signer;
}

ReleaseSigner::ReleaseSigner(const std::string& name) : m_home(Sandbox::makeTempFolder("gnupg")) {
    fs::permissions(m_home, fs::perms::owner_all, fs::perm_options::replace);
    runGpg(m_home,
           {"--passphrase", "", "--quick-gen-key", name + " <release@example.invalid>", "ed25519", "sign", "never"});
    m_keyring = m_home / "exported.gpg";
    runGpg(m_home, {"--output", m_keyring.string(), "--export"});
}

ReleaseSigner::~ReleaseSigner() {
    try {
        runProgram(
            "/usr/bin/gpgconf", {"--homedir", m_home.string(), "--kill", "gpg-agent"}, {}, std::chrono::seconds(10));
    } catch (...) {
        // Clean-up: an agent left behind ends itself once its home folder is gone.
    }
}

std::string ReleaseSigner::sign(const std::string& text) const {
    const fs::path folder = Sandbox::makeTempFolder("signed");
    writeFile(folder / "list", text);
    runGpg(m_home, {"--output", (folder / "list.sig").string(), "--detach-sign", (folder / "list").string()});
    return readFile(folder / "list.sig");
}
