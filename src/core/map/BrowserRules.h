#pragma once

#include <QRect>
#include <QString>

#include <array>
#include <optional>

// The browser pane's decisions and layout arithmetic, kept apart from the web
// view so they can be checked without one.
namespace BrowserRules {

inline constexpr char16_t BlankPage[] = u"about:blank";

// What setting the pane's address does.
enum class UrlAction {
    Reload,        // the address of the page shown, in any letter case
    NavigateBlank, // the empty address shows the blank page
    Navigate,
};
UrlAction urlAction(const QString &curUrl, const QString &address);

// The address box while a navigation of the page starts.
QString lookingText(const QString &target);

// Which of the web view's notifications touch the address box and CurUrl.
// Only the page itself counts: a frame's navigation has no end that can be
// seen, so it leaves both alone. While the page loads the box says where it
// goes; the end of the load sets both. Changes that load nothing (an anchor
// jump, history.pushState) move both at once. A load that ends without a page
// (a download, an abort) puts CurUrl back in the box.
class AddressFollower
{
public:
    // Each returns the new text of the box, or nothing when it stays.
    std::optional<QString> navigationRequested(const QString &target, bool mainFrame);
    void loadStarted();
    std::optional<QString> loadCompleted(const QString &reached); // succeeded or an error page
    std::optional<QString> loadStopped(const QString &target);    // ended without a page
    std::optional<QString> urlChanged(const QString &url);
    std::optional<QString> downloadStarted();

    QString curUrl() const { return m_curUrl; }
    bool loading() const { return m_loading; }

private:
    QString m_curUrl;
    QString m_target; // of the page navigation under way
    bool m_loading = false;
};

// The address a completed navigation leaves in CurUrl: empty for the blank page.
QString completedAddress(const QString &reached);

// The file name offered for saving a page with this title: characters a file
// name cannot hold become "_", an empty title or one starting with "." gets
// "page" in front, and the name with its ".html" stays within the 255 bytes
// (UTF-8) a file name may take, cut between whole characters.
QString pageFileName(const QString &title);

// Button 9 (the shown office document) is usable when the last three
// characters of the address are "xls" or "doc" in any letter case.
bool documentButtonEnabled(const QString &curUrl);

// Positions in twips, the pane's own scale.
struct Layout
{
    static constexpr int ButtonWidth = 600;
    static constexpr int ButtonHeight = 315;
    static constexpr int FirstButton = 2;
    static constexpr int ButtonCount = 8;
    static constexpr int BoxLeft = 4920; // 8.2 button widths
    static constexpr int BoxTop = 60;
    static constexpr int BoxHeight = 220;
    static constexpr int BoxRightGap = 20;
    static constexpr int ViewTop = 330;
    static constexpr int ViewHeightGap = 345;
    static constexpr int ViewBottomGap = ViewHeightGap - ViewTop;
    static constexpr int BoxViewGap = ViewTop - BoxTop - BoxHeight;

    std::array<QRect, ButtonCount> buttons; // ssCom 2..9 in this order
    std::optional<QRect> box;               // empty: the box keeps its place
    QRect view;
};

// The children of a pane of width w and height h twips. Sizes that would be
// negative on a very small pane are 0. The box is never lower than its font
// needs (`boxHeight`), and the view then starts as far below the box as it
// does below the designed one.
Layout layoutTwips(int width, int height, int boxHeight = Layout::BoxHeight);

// Twips that hold at least `pixels` whole pixels wherever the rectangle starts.
int pixelsToTwipsAtLeast(int pixels, double twipsPerPixel);

// Whole twips of a pixel length, and a twips rectangle in pixels. Edges are
// rounded, so neighbours that touch in twips touch in pixels.
int pixelsToTwips(int pixels, double twipsPerPixel);
QRect twipsToPixels(const QRect &twips, double twipsPerPixel);

} // namespace BrowserRules
