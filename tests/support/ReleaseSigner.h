#pragma once

#include <filesystem>
#include <string>

// A signing key of the tests' own, made by gpg in a private home folder of the sandbox, standing in
// for yt-dlp's release key: its public half, as `gpg --export` writes it, is the keyring that
// TALLOWIN_RELEASES_KEYRING names. Making a key takes a moment, so each kind exists once per
// process; the gpg-agent that signing starts is stopped at exit.
class ReleaseSigner {
public:
    static const ReleaseSigner& trusted(); // the key the release service signs with
    static const ReleaseSigner& other();   // a key nobody trusts

    ~ReleaseSigner();
    ReleaseSigner(const ReleaseSigner&) = delete;
    ReleaseSigner& operator=(const ReleaseSigner&) = delete;

    const std::filesystem::path& keyring() const { return m_keyring; }
    // A detached binary signature of text (what `gpg --detach-sign` writes). Throws on failure.
    std::string sign(const std::string& text) const;

private:
    explicit ReleaseSigner(const std::string& name);
    std::filesystem::path m_home;
    std::filesystem::path m_keyring;
};
