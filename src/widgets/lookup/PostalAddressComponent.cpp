#include "PostalAddressComponent.h"

#include "widgets/lookup/AddressLookupDialog.h"
#include "core/env/Twips.h"
#include "core/grid/GridUnits.h"
#include "core/lookup/PostalReaders.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStandardPaths>

#include <cmath>

PostalAddressComponent::PostalAddressComponent(std::shared_ptr<const PostalDictionary> dict) : m_dict(std::move(dict))
{
}

PostalReaders::Locations PostalAddressComponent::locations(const QString &userDataFolder, const QString &skkFolder)
{
    PostalReaders::Locations where;
    where.userDataFolder = userDataFolder;
    where.skkFolder = skkFolder;
    where.shippedFolders = PostalReaders::shippedFolders();
    where.cacheFolder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return where;
}

std::unique_ptr<PostalAddressComponent> PostalAddressComponent::create(const QString &userDataFolder,
                                                                       const QString &skkFolder)
{
    std::shared_ptr<const PostalDictionary> dict = PostalReaders::load(locations(userDataFolder, skkFolder));
    if (!dict)
        return nullptr;
    return std::make_unique<PostalAddressComponent>(std::move(dict));
}

void PostalAddressComponent::SetPos(int &x, int &y)
{
    m_twips = QPoint(x, y);
    m_placed = true;
}

bool PostalAddressComponent::PutAdd(QString &zip, QString &add, QString &cmp, short)
{
    QWidget *owner = QApplication::activeWindow();
    AddressLookupDialog dialog(m_dict, zip, add, cmp, owner);
    if (m_placed) {
        // Twips to pixels on the screen that holds the point.
        QScreen *screen = QGuiApplication::primaryScreen();
        const double dpiX = screen ? screen->logicalDotsPerInchX() : 96.0;
        const double dpiY = screen ? screen->logicalDotsPerInchY() : 96.0;
        const QPoint wanted(int(std::lround(m_twips.x() / Twips::perPixel(dpiX))), int(std::lround(m_twips.y() / Twips::perPixel(dpiY))));
        if (QScreen *at = QGuiApplication::screenAt(wanted))
            screen = at;
        const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 1024);
        // The position is the active cell's top-left counted from the main
        // window's outer corner, so the row itself lies lower by the window's
        // title bar; the search window takes the same frame as that window.
        QMargins frame;
        if (owner && owner->isWindow())
            frame = QMargins(owner->geometry().left() - owner->frameGeometry().left(),
                             owner->geometry().top() - owner->frameGeometry().top(),
                             owner->frameGeometry().right() - owner->geometry().right(),
                             owner->frameGeometry().bottom() - owner->geometry().bottom());
        const int rowHeight = int(std::lround(GridUnits::RowHeightPixels * dpiY / 96.0));
        const QRect row(wanted.x() + frame.left(), wanted.y() + frame.top(), 1, rowHeight);
        const QSize outer = dialog.size().grownBy(frame);
        dialog.move(AddressLookupDialog::besideRow(row, outer, available));
    }
    const bool taken = dialog.exec() == QDialog::Accepted;
    // Back to the window the search came from, also without a window manager
    // that would hand the focus back.
    if (owner)
        owner->activateWindow();
    if (!taken)
        return false;
    zip = dialog.zip();
    add = dialog.add();
    cmp = dialog.cmp();
    return true;
}
