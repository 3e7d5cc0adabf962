#include "download/PageUrl.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct UrlRow {
    const char* name;
    std::string text;
    std::optional<std::string> expected;
};

// Names the row in test listings instead of dumping its bytes.
inline void PrintTo(const UrlRow& row, std::ostream* out) {
    *out << row.name;
}

class PageUrlRule : public testing::TestWithParam<UrlRow> {};

} // namespace

TEST_P(PageUrlRule, AcceptsOnlyATrimmedUrlWithAScheme) {
    EXPECT_EQ(PageUrl::parse(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts,
    PageUrlRule,
    testing::Values(UrlRow{"plain", "https://example.com/watch?v=1", "https://example.com/watch?v=1"},
                    UrlRow{"trimmed", " \t https://example.com/v \r\n\u2028", "https://example.com/v"},
                    UrlRow{"anyScheme", "mailto:someone@example.com", "mailto:someone@example.com"},
                    UrlRow{"fileScheme", "file:///tmp/clip.webm", "file:///tmp/clip.webm"},
                    UrlRow{"schemeCharacters", "svn+ssh.x-1:rest", "svn+ssh.x-1:rest"},
                    UrlRow{"nonLatinPath",
                           "https://example.com/\u0432\u0438\u0434\u0435\u043e",
                           "https://example.com/\u0432\u0438\u0434\u0435\u043e"},
                    UrlRow{"percentEscapes", "https://e.com/a%20b", "https://e.com/a%20b"},
                    UrlRow{"empty", "", std::nullopt},
                    UrlRow{"onlySpace", " \n\t ", std::nullopt},
                    UrlRow{"noScheme", "example.com/watch?v=1", std::nullopt},
                    UrlRow{"hostPortIsNotAScheme", "127.0.0.1:8080/x", std::nullopt},
                    UrlRow{"dashOption", "-o/tmp/x", std::nullopt},
                    UrlRow{"dashScheme", "-x:y", std::nullopt},
                    UrlRow{"doubleDash", "--exec=rm -rf ~", std::nullopt},
                    UrlRow{"schemeStartsWithDigit", "1http://e.com", std::nullopt},
                    UrlRow{"innerSpace", "https://e.com/a b", std::nullopt},
                    UrlRow{"innerNewline", "https://e.com/a\nb", std::nullopt},
                    UrlRow{"controlCharacter", std::string("https://e.com/a\x01") + "b", std::nullopt},
                    UrlRow{"nulCharacter", std::string("https://e.com/a\0b", 17), std::nullopt},
                    UrlRow{"badPercent", "https://e.com/a%2", std::nullopt},
                    UrlRow{"twoFragments", "https://e.com/#a#b", std::nullopt},
                    UrlRow{"quote", "https://e.com/\"x\"", std::nullopt},
                    UrlRow{"illFormedUtf8", "https://e.com/\xff", std::nullopt},
                    UrlRow{"c1Control", "https://e.com/a\u0085b", std::nullopt},
                    UrlRow{"longWithoutScheme", std::string(100 * 1024, 'a'), std::nullopt},
                    UrlRow{"longWithSpace", "https://e.com/" + std::string(100 * 1024, 'a') + " x", std::nullopt}),
    [](const testing::TestParamInfo<UrlRow>& test) { return std::string(test.param.name); });
