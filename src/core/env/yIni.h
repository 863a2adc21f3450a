#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QUrl>
#include <QVariant>

#include <functional>
#include <utility>

class Desktop;
class QObject;

// The settings class: the per-user data folder, the settings document
// "User.xml" in the program's own tag format, and the shortcut files handed to
// the desktop. One shared instance lives in Program().Settings.
//
// It never shows anything itself: what it must tell the person is kept as
// message texts that the window takes and shows (takeMessages). Addresses
// go to the desktop through the seam it was given, if any.
//
// The document is never parsed as a whole: an element is found by a plain
// search for its opening and closing tags, and a write changes only the text
// between the tags it touches, so every other character stays as it was.
class yIni final
{
public:
    explicit yIni(Desktop *desktop = nullptr) : m_desktop(desktop) {}

    // How the settings document stood in its file; it is written back the same way.
    enum class Encoding { Cp932, Utf8, Utf8WithMark };
    Q_DISABLE_COPY_MOVE(yIni)

    // The messages gathered since the last call, oldest first.
    QStringList takeMessages() { return std::exchange(m_messages, {}); }

    // ---- desktop and folders -------------------------------------------

    // Records the program's location in the per-user settings store, chooses
    // the user data folder (steered by "UserData.ini" in the program folder),
    // creates it when missing and publishes it as Program().UserDataFolder.
    void W_UserData(const QObject *nWhnd);
    // Writes the help shortcut for page sJob in the user data folder and
    // opens its target; when the desktop cannot, `fallback` may show it.
    void W_Help(const QString &sJob, const std::function<bool(const QUrl &)> &fallback = {});
    // Writes the shortcut "Wrk/htm_view.lnk" in the user data folder (the
    // folder must exist) and opens its target sUrl.
    void W_HtmView(const QString &sUrl);
    // Puts a shortcut to the program into the desktop's applications folder
    // and says so.
    void W_SendTo();
    // Opens the folder sFld (bOpn) or shows it only when it exists (!bOpn).
    void W_ExpFd(const QString &sFld, bool bOpn);
    // Path of a special folder without a final "/": 26 the data home, 5 the
    // documents folder, 9 the applications folder; empty for any other id.
    QString FsGtSpFld(int nFlg) const;
    // Creates each missing sub-folder sPh + name (one level each); false
    // when one could not be created (the rest are not tried).
    bool F_ChkSb(const QString &sPh, const QStringList &Ary);
    // Creates every missing level of the folder path sFd; failures are
    // ignored level by level.
    void F_CreateFld(const QString &sFd);

    // ---- the settings document -------------------------------------------

    // Loads the document (a name ending in "_DV.xml" is read as ".xml"); a
    // missing file is created empty. bOk is false when the file system failed.
    // Decoded as "UserData.ini" is: UTF-8 after a byte-order mark or when the
    // whole file is valid UTF-8, code page 932 otherwise.
    void GetTxt(const QString &sFL, bool &bOk);
    // Selects a group: its inner text becomes the working copy.
    void GetGtx(const QString &sGp);
    // Reads a key of the selected group; vDef's type chooses the conversion
    // (text, boolean, date, otherwise a double). A boolean text that does not
    // convert gives an invalid QVariant.
    QVariant vGtVal(const QString &sKy, const QVariant &vDef);
    // Writes the document to the file it was loaded from, atomically, in the
    // encoding it was read in (code page 932 for a new one); the old file
    // stays whole when the write fails (bOk false). Characters code page 932
    // cannot hold, or bytes that did not decode, are not written as anything
    // else: they are named in a message and the old file stays.
    void SetTxt(bool &bOk);
    // Carries the selected group back into the document.
    void SetGtx();
    // Sets a key in the selected group (replaces its value or adds a line).
    void SetVal(const QString &sKy, const QVariant &vVL);

    // ---- state, for the main window and the tests -------------------------

    const QString &docPath() const { return DocPath; }
    const QString &docText() const { return DocText; }
    Encoding docEncoding() const { return m_encoding; }
    // The document was read as UTF-8 and held bytes that did not decode.
    bool docUndecodable() const { return m_undecodable; }
    const QString &groupName() const { return GroupName; }
    const QString &groupText() const { return GroupText; }
    const QObject *ownerWnd() const { return OwnerWnd; }

    // ---- text forms --------------------------------------------------------

    // The text a value is stored as: 9600 for a real 9600, True/False,
    // single-precision reals in the shortest form that reads back the same.
    static QString valueText(const QVariant &value);
    // The number at the start of a text: blanks anywhere are skipped, then
    // sign, digits, point, digits, exponent; no number reads as 0.
    static double readNumber(QStringView text);
    // A freedesktop desktop entry of type Link pointing at target.
    static QByteArray linkEntry(const QString &name, const QString &target);
    // The base address of the help pages, ending in "/": the installed copy
    // beside the program when present, else the source tree's.
    static QUrl helpSite();
    // Where the installed help pages stand, seen from the program folder.
    static QString installedHelpFolder();
    // The full path of the program file as the settings store records it.
    static QString programFile();

private:
    QString GtTag(qint16 mode, const QString &name);
    static QString MkTag(qint16 mode, const QString &name, const QVariant &content);
    // Writes a shortcut file and opens its target; false when it could not be written.
    static bool writeLink(const QString &path, const QString &target);

    Desktop *m_desktop;
    QStringList m_messages;
    QString DocPath;
    QString DocText;
    QString GroupName;
    QString GroupText;
    const QObject *OwnerWnd = nullptr;
    // The last GetTxt failed on a file that exists: writing the document
    // back would drop that file's groups, so SetTxt leaves it alone.
    bool m_loadFailedOnExistingFile = false;
    Encoding m_encoding = Encoding::Cp932;
    bool m_undecodable = false; // the document read as UTF-8 held bytes that did not decode
};
