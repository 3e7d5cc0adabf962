#pragma once

// A stand-in for the release service on 127.0.0.1: the latest-release JSON of each channel, the
// asset behind a redirect (as the real web host answers), and the release's SHA2-256SUMS. The
// engine is pointed at it through the two host variables for the life of this object, and at the
// key that signs its lists (ReleaseSigner's "release") through TALLOWIN_RELEASES_KEYRING.

#include "platform/Sha256.h"
#include "support/LocalHttpServer.h"
#include "support/ReleaseSigner.h"
#include "support/ScopedEnv.h"
#include "ytdlp/YtdlpChannel.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>

class ReleaseService {
public:
    // root: files the server also serves (media for a download after the update)
    explicit ReleaseService(const std::filesystem::path& root = {})
        : m_server(root), m_api("TALLOWIN_RELEASES_API_URL", m_server.baseUrl()),
          m_web("TALLOWIN_RELEASES_WEB_URL", m_server.baseUrl()),
          m_keyring("TALLOWIN_RELEASES_KEYRING", ReleaseSigner::shared().keyring().string()) {}

    LocalHttpServer& server() { return m_server; }
    std::string baseUrl() const { return m_server.baseUrl(); }

    static std::string apiPath(const YtdlpChannel& channel) {
        return "/repos/" + channel.repository + "/releases/latest";
    }
    static std::string assetPath(const YtdlpChannel& channel) {
        return "/" + channel.repository + "/releases/latest/download/" + YtdlpChannel::assetName();
    }
    static std::string checksumsPath(const YtdlpChannel& channel) {
        return "/" + channel.repository + "/releases/latest/download/SHA2-256SUMS";
    }

    void answerTag(const YtdlpChannel& channel, const std::string& tag) {
        HttpRoute route;
        route.body = nlohmann::json{{"tag_name", tag}, {"name", "yt-dlp " + tag}}.dump();
        route.headers["Content-Type"] = "application/json";
        m_server.route(apiPath(channel), route);
    }
    void answerRelease(const YtdlpChannel& channel, const HttpRoute& route) { m_server.route(apiPath(channel), route); }

    // The asset answers with a redirect to where its bytes are; the checksum list names it.
    // route carries any transfer behaviour (no length, a stall, slowness); its body is replaced.
    void publishAsset(const YtdlpChannel& channel, const std::string& bytes, HttpRoute route = {}) {
        route.body = bytes;
        publishAssetRoute(channel, route, Sha256::ofText(bytes));
    }
    void publishAssetFile(const YtdlpChannel& channel, const std::filesystem::path& file, HttpRoute route = {}) {
        route.bodyFile = file;
        publishAssetRoute(channel, route, Sha256::ofFile(file));
    }
    void answerAsset(const YtdlpChannel& channel, const HttpRoute& route) { m_server.route(assetPath(channel), route); }
    // The list, and its signature (by default the trusted key's).
    void answerChecksums(const YtdlpChannel& channel, const HttpRoute& route, std::optional<HttpRoute> signature = {}) {
        m_server.route(checksumsPath(channel), route);
        m_server.route(checksumsPath(channel) + ".sig",
                       signature.value_or(HttpRoute::answer(200, ReleaseSigner::shared().sign(route.body))));
    }

    bool wasRequested(const std::string& path) const {
        const auto all = m_server.requests();
        return std::any_of(all.begin(), all.end(), [&](const auto& request) { return request.path == path; });
    }

private:
    void publishAssetRoute(const YtdlpChannel& channel, const HttpRoute& route, const std::string& sum) {
        const std::string objectPath = "/release-assets/" + channel.name + "/" + YtdlpChannel::assetName();
        m_server.route(objectPath, route);
        HttpRoute redirect;
        redirect.redirectTo = m_server.baseUrl() + objectPath;
        m_server.route(assetPath(channel), redirect);
        HttpRoute sums;
        // Other assets' lines around ours, as the real list has them.
        sums.body = std::string(64, 'a') + "  yt-dlp_linux_armv7l\n" + sum + "  " + YtdlpChannel::assetName() + "\n" +
                    std::string(64, 'b') + "  yt-dlp.exe\n";
        answerChecksums(channel, sums);
    }

    LocalHttpServer m_server;
    ScopedEnv m_api;
    ScopedEnv m_web;
    ScopedEnv m_keyring;
};
