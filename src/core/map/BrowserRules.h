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

// The address box while a navigation (page or frame) starts.
QString lookingText(const QString &target);

// The address a completed navigation leaves in CurUrl: empty for the blank page.
QString completedAddress(const QString &reached);

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

    std::array<QRect, ButtonCount> buttons; // ssCom 2..9 in this order
    std::optional<QRect> box;               // empty: the box keeps its place
    QRect view;
};

// The children of a pane of width w and height h twips. Sizes that would be
// negative on a very small pane are 0.
Layout layoutTwips(int width, int height);

// Whole twips of a pixel length, and a twips rectangle in pixels. Edges are
// rounded, so neighbours that touch in twips touch in pixels.
int pixelsToTwips(int pixels, double twipsPerPixel);
QRect twipsToPixels(const QRect &twips, double twipsPerPixel);

} // namespace BrowserRules
