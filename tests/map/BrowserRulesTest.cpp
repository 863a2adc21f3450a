#include "core/map/BrowserRules.h"

#include <gtest/gtest.h>

using namespace BrowserRules;

namespace {

struct UrlCase
{
    const char *name;
    const char *curUrl;
    const char *address;
    UrlAction action;
};

class UrlActionTest : public testing::TestWithParam<UrlCase>
{
};

TEST_P(UrlActionTest, Decides)
{
    const UrlCase &c = GetParam();
    EXPECT_EQ(urlAction(QString::fromUtf8(c.curUrl), QString::fromUtf8(c.address)), c.action);
}

INSTANTIATE_TEST_SUITE_P(
    Setter, UrlActionTest,
    testing::Values(UrlCase{"same_address", "http://a.example/x", "http://a.example/x", UrlAction::Reload},
                    UrlCase{"other_case", "http://a.example/Page", "HTTP://A.EXAMPLE/PAGE", UrlAction::Reload},
                    UrlCase{"other_address", "http://a.example/x", "http://a.example/y", UrlAction::Navigate},
                    UrlCase{"blank_shown_navigates", "", "http://a.example/x", UrlAction::Navigate},
                    UrlCase{"blank_shown_empty_address", "", "", UrlAction::NavigateBlank},
                    UrlCase{"page_shown_empty_address", "http://a.example/x", "", UrlAction::NavigateBlank},
                    UrlCase{"trailing_slash_differs", "http://a.example/", "http://a.example", UrlAction::Navigate}),
    [](const testing::TestParamInfo<UrlCase> &info) { return std::string(info.param.name); });

TEST(BrowserRules, LookingTextHasNoSeparator)
{
    EXPECT_EQ(lookingText(QStringLiteral("http://a.example/")), QStringLiteral("Looking..http://a.example/"));
    EXPECT_EQ(lookingText(QString()), QStringLiteral("Looking.."));
}

TEST(BrowserRules, CompletedBlankPageIsEmpty)
{
    EXPECT_EQ(completedAddress(QStringLiteral("about:blank")), QString());
    EXPECT_EQ(completedAddress(QStringLiteral("About:Blank")), QStringLiteral("About:Blank"));
    EXPECT_EQ(completedAddress(QStringLiteral("http://a.example/")), QStringLiteral("http://a.example/"));
}

struct DocCase
{
    const char *name;
    const char *address;
    bool enabled;
};

class DocumentButtonTest : public testing::TestWithParam<DocCase>
{
};

TEST_P(DocumentButtonTest, FollowsTheLastThreeLetters)
{
    EXPECT_EQ(documentButtonEnabled(QString::fromUtf8(GetParam().address)), GetParam().enabled);
}

INSTANTIATE_TEST_SUITE_P(
    Button9, DocumentButtonTest,
    testing::Values(DocCase{"upper_xls", "http://a.example/BOOK.XLS", true}, DocCase{"doc", "http://a.example/a.doc", true},
                    DocCase{"mixed_case", "http://a.example/a.DoC", true},
                    DocCase{"no_dot", "http://a.example/paradoc", true}, DocCase{"xlsx", "http://a.example/a.xlsx", false},
                    DocCase{"docx", "http://a.example/a.docx", false}, DocCase{"html", "http://a.example/a.html", false},
                    DocCase{"short", "doc", true}, DocCase{"shorter", "oc", false}, DocCase{"empty", "", false},
                    DocCase{"query_after", "http://a.example/a.xls?x=1", false}),
    [](const testing::TestParamInfo<DocCase> &info) { return std::string(info.param.name); });

TEST(BrowserLayout, ButtonsStandSideBySide)
{
    const Layout layout = layoutTwips(12000, 6000);
    for (int i = 0; i < Layout::ButtonCount; ++i)
        EXPECT_EQ(layout.buttons[size_t(i)], QRect(i * 600, 0, 600, 315)) << "button " << i + 2;
}

TEST(BrowserLayout, BoxAndViewInAWidePane)
{
    const Layout layout = layoutTwips(12000, 6000);
    ASSERT_TRUE(layout.box.has_value());
    EXPECT_EQ(*layout.box, QRect(4920, 60, 12000 - 4920 - 20, 220));
    EXPECT_EQ(layout.view, QRect(0, 330, 12000, 6000 - 345));
}

TEST(BrowserLayout, NarrowPaneKeepsTheBoxWhereItWas)
{
    EXPECT_FALSE(layoutTwips(4919, 6000).box.has_value());
    ASSERT_TRUE(layoutTwips(4920, 6000).box.has_value());
    EXPECT_EQ(layoutTwips(4920, 6000).box->width(), 0); // would be -20
    EXPECT_EQ(layoutTwips(4935, 6000).box->width(), 0);
    EXPECT_EQ(layoutTwips(4941, 6000).box->width(), 1);
}

TEST(BrowserLayout, LowPaneGivesTheViewNoHeight)
{
    EXPECT_EQ(layoutTwips(6000, 100).view, QRect(0, 330, 6000, 0));
    EXPECT_EQ(layoutTwips(6000, 345).view.height(), 0);
    EXPECT_EQ(layoutTwips(6000, 346).view.height(), 1);
}

TEST(BrowserLayout, TwipsAndPixels)
{
    EXPECT_EQ(pixelsToTwips(640, 15.0), 9600);
    // At 96 dpi: 40-pixel buttons, the box at pixel 328, the view from 22.
    EXPECT_EQ(twipsToPixels(QRect(600, 0, 600, 315), 15.0), QRect(40, 0, 40, 21));
    EXPECT_EQ(twipsToPixels(QRect(4920, 60, 4000, 220), 15.0), QRect(328, 4, 267, 15));
    EXPECT_EQ(twipsToPixels(QRect(0, 330, 9600, 6000 - 345), 15.0), QRect(0, 22, 640, 377));
    // At 144 dpi (10 twips per pixel) neighbours still touch.
    const QRect first = twipsToPixels(QRect(0, 0, 600, 315), 10.0);
    const QRect second = twipsToPixels(QRect(600, 0, 600, 315), 10.0);
    EXPECT_EQ(first.right() + 1, second.left());
}

} // namespace
