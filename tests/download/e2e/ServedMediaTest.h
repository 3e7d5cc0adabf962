#pragma once

#include "MediaFixtures.h"
#include "platform/HardwareVideo.h"
#include "support/LocalHttpServer.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

// A suite that runs the real tools against the media fixtures, served from 127.0.0.1 while the
// suite runs. Hardware answers are the machine's business: they are pinned to "no" so that every
// row means one thing on any machine.
class ServedMediaTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(Sandbox::usesRealPackage());
        s_server = std::make_unique<LocalHttpServer>(MediaFixtures::folder());
    }
    static void TearDownTestSuite() { s_server.reset(); }
    void SetUp() override {
        HardwareVideo::setAnswerSource([](std::string_view) { return false; });
    }
    void TearDown() override { HardwareVideo::setAnswerSource({}); }

    static std::string url(const std::string& path) { return s_server->baseUrl() + path; }

    static inline std::unique_ptr<LocalHttpServer> s_server;
};
