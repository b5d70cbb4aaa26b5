#include "app/markup.h"

#include <gtest/gtest.h>

namespace zbpv {
namespace {

TEST(Markup, TagsColoursAndEscaping) {
    EXPECT_EQ(MarkupToHtml("<B><C:clMaroon>Sicherung!</C></B>\nx < y & <i>"),
              "<b><span style=\"color:#800000\">Sicherung!</span></b><br>x &lt; y &amp; &lt;i&gt;");
    EXPECT_EQ(MarkupToHtml("<c:clNavy>a</c>"), "<span style=\"color:#000080\">a</span>");
    EXPECT_EQ(MarkupToHtml("<C:clUnbekannt>a</C>"), "<span style=\"color:inherit\">a</span>");
    EXPECT_EQ(MarkupToPlain("<B>Velkaro</B> <C:clMaroon>rot</C> 1 < 2"), "Velkaro rot 1 < 2");
}

} // namespace
} // namespace zbpv
