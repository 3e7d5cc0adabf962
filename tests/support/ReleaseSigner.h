#pragma once

#include "support/CliRun.h"
#include "support/FakeTool.h"
#include "support/Sandbox.h"

#include <cstdlib>
#include <stdexcept>

// Keys of the tests' own, made once per process by gpg in a private home: "release" stands in for
// yt-dlp's release key (keyring() is its public half, as `gpg --export` writes it), "other" is
// trusted by nobody. The gpg-agent that signing starts is stopped at exit.
class ReleaseSigner {
public:
    static const ReleaseSigner& shared() {
        static const ReleaseSigner signer;
        return signer;
    }
    ~ReleaseSigner() {
        [[maybe_unused]] const int ignored =
            std::system(("gpgconf --homedir '" + m_home.string() + "' --kill gpg-agent").c_str());
    }
    std::filesystem::path keyring() const { return m_home / "release.gpg"; }
    // A detached binary signature of text, as `gpg --detach-sign` makes it.
    std::string sign(const std::string& text, const std::string& key = "release") const {
        writeFile(m_home / "list", text);
        gpg({"-u", key + "@example.invalid", "-o", (m_home / "sig").string(), "-b", (m_home / "list").string()});
        return readFile(m_home / "sig");
    }

private:
    ReleaseSigner() : m_home(Sandbox::makeTempFolder("gnupg")) {
        std::filesystem::permissions(m_home, std::filesystem::perms::owner_all);
        for (const std::string key : {"release", "other"})
            gpg({"--passphrase", "", "--quick-gen-key", key + "@example.invalid", "ed25519", "sign", "never"});
        gpg({"-o", keyring().string(), "--export", "release@example.invalid"});
    }
    void gpg(std::vector<std::string> arguments) const {
        arguments.insert(arguments.begin(), {"--homedir", m_home.string(), "--batch", "--quiet", "--yes"});
        if (const CliResult result = runProgram("/usr/bin/gpg", arguments); result.exitStatus != 0)
            throw std::runtime_error("gpg failed: " + result.err);
    }
    std::filesystem::path m_home;
};
