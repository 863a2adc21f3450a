#include "BrowserRules.h"

#include <QTextBoundaryFinder>
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

QString pageFileName(const QString &title)
{
    static constexpr qsizetype MaxBytes = 255; // a file name's length on Linux file systems
    static const QString suffix = u".html"_s;
    QString name = title.simplified();
    static const QString forbidden = u"/\\:*?\"<>|"_s;
    for (QChar &c : name) {
        if (forbidden.contains(c) || c.unicode() < 32)
            c = u'_';
    }
    if (name.isEmpty() || name.startsWith(u'.'))
        name.prepend(u"page"_s);
    // Cut at the last character boundary (never inside a surrogate pair or
    // before a combining mark) that keeps the bytes within the limit.
    qsizetype bytes = suffix.size();
    qsizetype keep = 0;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, name);
    for (qsizetype from = 0, to = characters.toNextBoundary(); to > 0; from = to, to = characters.toNextBoundary()) {
        bytes += QStringView(name).sliced(from, to - from).toUtf8().size();
        if (bytes > MaxBytes)
            break;
        keep = to;
    }
    name.truncate(keep);
    return name + suffix;
}

bool documentButtonEnabled(const QString &curUrl)
{
    const QString tail = curUrl.right(3).toLower();
    return tail == u"xls" || tail == u"doc";
}

std::optional<QString> AddressFollower::navigationRequested(const QString &target, bool mainFrame)
{
    if (!mainFrame)
        return std::nullopt;
    m_target = target;
    return lookingText(target);
}

void AddressFollower::loadStarted()
{
    m_loading = true;
}

std::optional<QString> AddressFollower::loadCompleted(const QString &reached)
{
    m_loading = false;
    m_target.clear();
    m_curUrl = completedAddress(reached);
    return m_curUrl;
}

std::optional<QString> AddressFollower::loadStopped(const QString &target)
{
    // A newer navigation under way keeps its "Looking..".
    if (!m_target.isEmpty() && target != m_target)
        return std::nullopt;
    m_loading = false;
    m_target.clear();
    return m_curUrl;
}

std::optional<QString> AddressFollower::urlChanged(const QString &url)
{
    if (m_loading)
        return std::nullopt;
    m_target.clear();
    m_curUrl = completedAddress(url);
    return m_curUrl;
}

std::optional<QString> AddressFollower::downloadStarted()
{
    // Only a page navigation that turned into the download left the box.
    if (m_loading || m_target.isEmpty())
        return std::nullopt;
    m_target.clear();
    return m_curUrl;
}

Layout layoutTwips(int width, int height, int boxHeight)
{
    Layout layout;
    boxHeight = std::max(boxHeight, int(Layout::BoxHeight));
    const int viewTop = std::max(int(Layout::ViewTop), Layout::BoxTop + boxHeight + Layout::BoxViewGap);
    for (int i = 0; i < Layout::ButtonCount; ++i)
        layout.buttons[size_t(i)] = QRect(i * Layout::ButtonWidth, 0, Layout::ButtonWidth, Layout::ButtonHeight);
    if (width >= Layout::BoxLeft)
        layout.box = QRect(Layout::BoxLeft, Layout::BoxTop,
                           std::max(0, width - Layout::BoxLeft - Layout::BoxRightGap), boxHeight);
    layout.view = QRect(0, viewTop, std::max(0, width), std::max(0, height - viewTop - Layout::ViewBottomGap));
    return layout;
}

int pixelsToTwips(int pixels, double twipsPerPixel)
{
    return qRound(pixels * twipsPerPixel);
}

int pixelsToTwipsAtLeast(int pixels, double twipsPerPixel)
{
    // Rounding both edges can lose up to one pixel.
    return qCeil((pixels + 1) * twipsPerPixel);
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
