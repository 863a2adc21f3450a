#include "core/map/BrowserRules.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

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

struct PageNameCase
{
    const char *name;
    QString title;
    QString fileName;
};

class PageFileNameTest : public testing::TestWithParam<PageNameCase>
{
};

// A saved page's name fits the 255 bytes of a file name and is cut between
// whole characters.
TEST_P(PageFileNameTest, FitsAFileName)
{
    const QString name = pageFileName(GetParam().title);
    EXPECT_EQ(name.toStdString(), GetParam().fileName.toStdString());
    EXPECT_LE(name.toUtf8().size(), 255);
}

QString times(const QString &part, int n)
{
    return part.repeated(n);
}

INSTANTIATE_TEST_SUITE_P(
    SavedPage, PageFileNameTest,
    testing::Values(
        PageNameCase{"forbidden_characters", u"Saved: page?"_s, u"Saved_ page_.html"_s},
        PageNameCase{"empty", u"  "_s, u"page.html"_s},
        PageNameCase{"leading_dot", u".x"_s, u"page.x.html"_s},
        PageNameCase{"ascii_at_the_limit", times(u"a"_s, 250), times(u"a"_s, 250) + u".html"_s},
        PageNameCase{"ascii_over_the_limit", times(u"a"_s, 251), times(u"a"_s, 250) + u".html"_s},
        // 3 bytes each: 83 of them and ".html" make 254 bytes.
        PageNameCase{"long_japanese_title", times(u"地図の検索結果"_s, 30), times(u"地図の検索結果"_s, 11) + u"地図の検索結.html"_s},
        // 4 bytes and two UTF-16 units each: never half of one.
        PageNameCase{"surrogate_pairs", u"a"_s + times(u"𠮷"_s, 200), u"a"_s + times(u"𠮷"_s, 62) + u".html"_s},
        PageNameCase{"combining_mark_stays_with_its_letter", times(u"x"_s, 245) + u"か\u3099"_s,
                     times(u"x"_s, 245) + u".html"_s}),
    [](const testing::TestParamInfo<PageNameCase> &info) { return std::string(info.param.name); });

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

namespace {

// A run of the web view's notifications, one per word group:
// "main URL" / "frame URL" (a navigation asks to start), "start", "done URL"
// (the page completed, at URL), "stop URL" (ended without a page), "url URL"
// (the address changed), "download".
struct FollowCase
{
    const char *name;
    std::vector<const char *> events;
    const char *box;
    const char *curUrl;
};

class AddressFollowerTest : public testing::TestWithParam<FollowCase>
{
};

TEST_P(AddressFollowerTest, BoxFollowsThePageOnly)
{
    AddressFollower follower;
    QString box = QStringLiteral("(untouched)");
    for (const char *event : GetParam().events) {
        const QString text = QString::fromUtf8(event);
        const QString verb = text.section(u' ', 0, 0);
        const QString arg = text.section(u' ', 1);
        std::optional<QString> shown;
        if (verb == u"main" || verb == u"frame")
            shown = follower.navigationRequested(arg, verb == u"main");
        else if (verb == u"start")
            follower.loadStarted();
        else if (verb == u"done")
            shown = follower.loadCompleted(arg);
        else if (verb == u"stop")
            shown = follower.loadStopped(arg);
        else if (verb == u"url")
            shown = follower.urlChanged(arg);
        else if (verb == u"download")
            shown = follower.downloadStarted();
        else
            FAIL() << "unknown event " << event;
        if (shown)
            box = *shown;
    }
    EXPECT_EQ(box, QString::fromUtf8(GetParam().box));
    EXPECT_EQ(follower.curUrl(), QString::fromUtf8(GetParam().curUrl));
}

INSTANTIATE_TEST_SUITE_P(
    Notifications, AddressFollowerTest,
    testing::Values(
        FollowCase{"page_loading", {"main http://a/", "start", "url http://a/"}, "Looking..http://a/", ""},
        FollowCase{"page_loaded", {"main http://a/", "start", "url http://a/", "done http://a/"}, "http://a/", "http://a/"},
        FollowCase{"blank_page", {"main about:blank", "start", "done about:blank"}, "", ""},
        FollowCase{"frame_added_late", {"main http://a/", "start", "done http://a/", "frame http://a/inner"}, "http://a/", "http://a/"},
        FollowCase{"frame_during_load",
                   {"main http://a/", "start", "frame http://a/inner", "done http://a/"}, "http://a/", "http://a/"},
        FollowCase{"anchor_jump", {"main http://a/", "start", "done http://a/", "url http://a/#x"}, "http://a/#x", "http://a/#x"},
        FollowCase{"push_state", {"main http://a/", "start", "done http://a/", "url http://a/moved?z=3"},
                   "http://a/moved?z=3", "http://a/moved?z=3"},
        FollowCase{"download_link",
                   {"main http://a/", "start", "done http://a/", "main http://a/b.xls", "start", "stop http://a/b.xls", "download"},
                   "http://a/", "http://a/"},
        FollowCase{"download_before_stop",
                   {"main http://a/", "start", "done http://a/", "main http://a/b.xls", "download"}, "http://a/", "http://a/"},
        FollowCase{"download_without_navigation", {"main http://a/", "start", "done http://a/", "url http://a/#y", "download"},
                   "http://a/#y", "http://a/#y"},
        FollowCase{"stop_of_a_superseded_load",
                   {"main http://a/", "start", "main http://b/", "stop http://a/"}, "Looking..http://b/", ""},
        FollowCase{"typed_same_document",
                   {"main http://a/", "start", "done http://a/", "main http://a/#z", "url http://a/#z"}, "http://a/#z", "http://a/#z"}),
    [](const testing::TestParamInfo<FollowCase> &info) { return std::string(info.param.name); });

TEST(BrowserLayout, TallerBoxPushesTheViewDown)
{
    // A font that needs 300 twips: the box grows, the view keeps its gap.
    const Layout layout = layoutTwips(12000, 6000, 300);
    EXPECT_EQ(*layout.box, QRect(4920, 60, 12000 - 4920 - 20, 300));
    EXPECT_EQ(layout.view, QRect(0, 410, 12000, 6000 - 425));
    // Never lower than designed.
    EXPECT_EQ(layoutTwips(12000, 6000, 100).box->height(), 220);
    // Whole pixels survive rounding at any start.
    for (const double tpp : {15.0, 10.0, 12.5}) {
        for (int px = 10; px < 30; ++px) {
            const int twips = pixelsToTwipsAtLeast(px, tpp);
            EXPECT_GE(twipsToPixels(QRect(4920, 60, 100, twips), tpp).height(), px) << tpp << " " << px;
        }
    }
}

} // namespace
