#include "desktop/qt_text.h"

#include <gtest/gtest.h>

namespace kavrel {
namespace {

TEST(QtText, Utf8OrElseWindows1252) {
    struct {
        const char* name;
        std::string bytes;
        QString text;
    } const rows[] = {
        {"ascii", "4 emails waiting", QStringLiteral("4 emails waiting")},
        {"utf-8", "M\xC3\xBCller \xE2\x82\xAC", QString::fromUtf8("M\xC3\xBCller \xE2\x82\xAC")},
        {"latin letter", "M\xFCller", QString::fromUtf8("M\xC3\xBCller")},
        {"windows-1252 specials", "\x80\x96\x9F",
         QString::fromUtf8("\xE2\x82\xAC\xE2\x80\x93\xC5\xB8")},
        {"codes 1252 leaves undefined", "\x81\x8D", QString::fromUtf8("\xEF\xBF\xBD\xEF\xBF\xBD")},
        {"a bad byte beside good UTF-8", "\xC3\xBC \xFC", QString::fromUtf8("\xC3\xBC \xC3\xBC")},
        {"truncated sequence", "ab\xE2\x82", QString::fromUtf8("ab\xC3\xA2\xE2\x80\x9A")},
        {"empty", "", QString()},
    };
    for (const auto& r : rows) EXPECT_EQ(ToQString(r.bytes), r.text) << r.name;
}

TEST(QtText, BackToUtf8) {
    EXPECT_EQ(FromQString(QString::fromUtf8("M\xC3\xBCller")), "M\xC3\xBCller");
}

}  // namespace
}  // namespace kavrel
