#include <gtest/gtest.h>

#include "widgets/clipboard.h"

namespace dw {
namespace {

TEST(Clipboard, TextRoundTripsWithNewlines) {
    setClipboardText(QStringLiteral("a\tb\r\nc\rd\ne \u00e9"));
    EXPECT_EQ(clipboardText(), QStringLiteral("a\tb\nc\nd\ne \u00e9"));
    setClipboardText({});
    EXPECT_EQ(clipboardText(), QString());
}

}  // namespace
}  // namespace dw
