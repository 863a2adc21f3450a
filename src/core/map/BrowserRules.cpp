#include "BrowserRules.h"

#include <QtMath>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace BrowserRules {

UrlAction urlAction(const QString &curUrl, const QString &address)
{
    if (!curUrl.isEmpty() && address.toLower() == curUrl.toLower())
        return UrlAction::Reload;
    if (address.isEmpty())
        return UrlAction::NavigateBlank;
    return UrlAction::Navigate;
}

QString lookingText(const QString &target)
{
    return u"Looking.."_s + target;
}

QString completedAddress(const QString &reached)
{
    return reached == QStringView(BlankPage) ? QString() : reached;
}

bool documentButtonEnabled(const QString &curUrl)
{
    const QString tail = curUrl.right(3).toLower();
    return tail == u"xls" || tail == u"doc";
}

Layout layoutTwips(int width, int height)
{
    Layout layout;
    for (int i = 0; i < Layout::ButtonCount; ++i)
        layout.buttons[size_t(i)] = QRect(i * Layout::ButtonWidth, 0, Layout::ButtonWidth, Layout::ButtonHeight);
    if (width >= Layout::BoxLeft)
        layout.box = QRect(Layout::BoxLeft, Layout::BoxTop,
                           std::max(0, width - Layout::BoxLeft - Layout::BoxRightGap), Layout::BoxHeight);
    layout.view = QRect(0, Layout::ViewTop, std::max(0, width), std::max(0, height - Layout::ViewHeightGap));
    return layout;
}

int pixelsToTwips(int pixels, double twipsPerPixel)
{
    return qRound(pixels * twipsPerPixel);
}

QRect twipsToPixels(const QRect &twips, double twipsPerPixel)
{
    const int left = qRound(twips.x() / twipsPerPixel);
    const int top = qRound(twips.y() / twipsPerPixel);
    const int right = qRound((twips.x() + twips.width()) / twipsPerPixel);
    const int bottom = qRound((twips.y() + twips.height()) / twipsPerPixel);
    return QRect(left, top, right - left, bottom - top);
}

} // namespace BrowserRules
