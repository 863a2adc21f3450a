#include "yIni.h"

#include "core/env/Cp932.h"
#include "core/env/Desktop.h"
#include "core/env/Program.h"
#include "core/env/TextFile.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

#ifndef KOTOVEN_HELP_FROM_PROGRAM
#define KOTOVEN_HELP_FROM_PROGRAM "../share/kotoven/help/"
#endif

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QString RootName = QStringLiteral("運用");

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

// Shortest decimal form that reads back as the same value; whole numbers
// without a point, very large or small ones as "1.5E+20".
QString shortestReal(double value, bool single)
{
    if (!std::isfinite(value))
        return QString::number(value);
    if (value == 0)
        return QStringLiteral("0");
    char buffer[64];
    const std::to_chars_result written = single
        ? std::to_chars(buffer, buffer + sizeof buffer, float(value), std::chars_format::scientific)
        : std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string scientific(buffer, written.ptr);
    // "-d.ddde+XX": split into sign, digits and the decimal exponent.
    const std::size_t ePos = scientific.find('e');
    std::string mantissa = scientific.substr(0, ePos);
    const int exponent = std::stoi(scientific.substr(ePos + 1));
    const bool negative = mantissa.front() == '-';
    if (negative)
        mantissa.erase(0, 1);
    std::string digits;
    for (char c : mantissa)
        if (c != '.')
            digits += c;

    std::string out;
    const int fixedLimit = single ? 7 : 15;
    if (exponent >= -5 && exponent < fixedLimit) {
        if (exponent < 0) {
            out = "0." + std::string(std::size_t(-exponent - 1), '0') + digits;
        } else if (std::size_t(exponent) + 1 >= digits.size()) {
            out = digits + std::string(std::size_t(exponent) + 1 - digits.size(), '0');
        } else {
            out = digits.substr(0, std::size_t(exponent) + 1) + '.' + digits.substr(std::size_t(exponent) + 1);
        }
    } else {
        out = digits.substr(0, 1);
        if (digits.size() > 1)
            out += '.' + digits.substr(1);
        const int absExp = exponent < 0 ? -exponent : exponent;
        out += exponent < 0 ? "E-" : "E+";
        if (absExp < 10)
            out += '0';
        out += std::to_string(absExp);
    }
    if (negative)
        out.insert(0, 1, '-');
    return QString::fromLatin1(out);
}

constexpr char Bom[] = "\xEF\xBB\xBF";

struct SettingsText
{
    QString text;
    yIni::Encoding encoding = yIni::Encoding::Cp932;
    bool undecodable = false; // some bytes became U+FFFD
};

// "UserData.ini" and "User.xml" as text: UTF-8 after a byte-order mark, or
// without one when the whole file is valid UTF-8 (as Linux editors write it);
// code page 932 otherwise.
SettingsText settingsText(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    if (bytes.startsWith(QByteArrayView(Bom, 3))) {
        QString text = utf8.decode(QByteArrayView(bytes).sliced(3));
        return {std::move(text), yIni::Encoding::Utf8WithMark, utf8.hasError()};
    }
    QString text = utf8.decode(bytes);
    // Plain ASCII reads the same either way and stays the program's own code page.
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
    if (!utf8.hasError())
        return {std::move(text), ascii ? yIni::Encoding::Cp932 : yIni::Encoding::Utf8, false};
    Cp932::Decoded decoded = Cp932::decode(bytes);
    return {std::move(decoded.text), yIni::Encoding::Cp932, decoded.invalidCount > 0};
}

QString withSlash(QString folder)
{
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

// Desktop entry values: backslash and control characters escaped.
QString entryValue(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u' ' && i == 0)
            out += QStringLiteral("\\s");
        else
            out += c;
    }
    return out;
}

} // namespace

// ---- text forms ------------------------------------------------------------

QString yIni::valueText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QString: return value.toString();
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Float: return shortestReal(double(value.toFloat()), true);
    case QMetaType::Double: return shortestReal(value.toDouble(), false);
    case QMetaType::QDate: return QLocale::system().toString(value.toDate(), QLocale::ShortFormat);
    case QMetaType::QDateTime: {
        const QDateTime when = value.toDateTime();
        if (when.time() == QTime(0, 0))
            return QLocale::system().toString(when.date(), QLocale::ShortFormat);
        return QLocale::system().toString(when, QLocale::ShortFormat);
    }
    default: return value.toString();
    }
}

double yIni::readNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skip = [&] {
        while (i < n && isBlank(text[i]))
            ++i;
    };
    auto digitsInto = [&](std::string &out) {
        for (;;) {
            skip();
            if (i < n && text[i] >= u'0' && text[i] <= u'9')
                out += char(text[i++].unicode());
            else
                return;
        }
    };

    skip();
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::string whole;
    std::string fraction;
    digitsInto(whole);
    skip();
    if (i < n && text[i] == u'.') {
        ++i;
        digitsInto(fraction);
    }
    if (whole.empty() && fraction.empty())
        return 0;

    std::string number = whole.empty() ? std::string("0") : whole;
    if (!fraction.empty())
        number += '.' + fraction;

    // An exponent counts only when digits follow it.
    skip();
    bool negativeExponent = false;
    if (i < n && (text[i] == u'E' || text[i] == u'e')) {
        const qsizetype mark = i;
        ++i;
        skip();
        std::string sign;
        if (i < n && (text[i] == u'-' || text[i] == u'+')) {
            sign = text[i] == u'-' ? "-" : "";
            negativeExponent = text[i] == u'-';
            ++i;
        }
        std::string exponent;
        digitsInto(exponent);
        if (exponent.empty()) {
            i = mark;
            negativeExponent = false;
        } else {
            number += 'e' + sign + exponent;
        }
    }

    double value = 0;
    const std::from_chars_result parsed = std::from_chars(number.data(), number.data() + number.size(), value);
    if (parsed.ec == std::errc::result_out_of_range)
        value = negativeExponent ? 0.0 : std::numeric_limits<double>::infinity();
    return negative ? -value : value;
}

QByteArray yIni::linkEntry(const QString &name, const QString &target)
{
    const QString entry = QStringLiteral("[Desktop Entry]\nVersion=1.0\nType=Link\nName=") + entryValue(name)
                          + QStringLiteral("\nURL=") + entryValue(target) + u'\n';
    return entry.toUtf8();
}

QString yIni::installedHelpFolder()
{
    return QDir::cleanPath(programFolder() + QStringLiteral(KOTOVEN_HELP_FROM_PROGRAM));
}

QUrl yIni::helpSite()
{
    // Installed, the pages stand in the data folder seen from the program's
    // folder; in a build folder, the build copies them beside the program.
    const QString installed = installedHelpFolder();
    if (QFileInfo(installed + QStringLiteral("/kotoven.htm")).isFile())
        return QUrl::fromLocalFile(installed + u'/');
    return QUrl::fromLocalFile(programFolder() + QStringLiteral("help/"));
}

QString yIni::programFile()
{
    // The name the program was started under may carry "_dv"; the store keeps
    // the release name, with the executable's own extension (none on Linux).
    QString file = programFolder() + Program().ProgramName;
    if (QCoreApplication::instance()) {
        const QString suffix = QFileInfo(QCoreApplication::applicationFilePath()).suffix();
        if (!suffix.isEmpty())
            file += u'.' + suffix;
    }
    return file;
}

// ---- the settings document ---------------------------------------------------

QString yIni::GtTag(qint16 mode, const QString &name)
{
    const QString &source = mode == 0 ? DocText : GroupText;
    const QString closing = QStringLiteral("</") + name + u'>';
    const qsizetype b = source.indexOf(u'<' + name + u'>');
    // The closing tag after the opening one: a stray one before it (an edit
    // by hand) does not hide the element.
    const qsizetype e = b < 0 ? source.indexOf(closing) : source.indexOf(closing, b + name.size() + 2);
    if (source.isEmpty() || (b < 0 && e < 0))
        return {};
    if (b < 0 || e < 0) {
        m_messages.append(u'<' + name + QStringLiteral("> の設定が読み込めません") + u'\r' + QStringLiteral("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(")
             + DocPath + QStringLiteral(") が破損しています"));
        return {};
    }
    const qsizetype h = b + name.size() + 2; // first character after the opening tag
    if (mode != 0)
        return e > h ? source.mid(h, e - h) : QString();
    // A group: without the line end after its opening tag and the three blanks
    // before its closing tag, removed by count. Tags standing closer than
    // that give an empty group.
    const qsizetype length = e - h - 5;
    return length > 0 ? source.mid(h + 2, length) : QString();
}

QString yIni::MkTag(qint16 mode, const QString &name, const QVariant &content)
{
    const QString text = valueText(content);
    QString element;
    switch (mode) {
    case 0:
        element = QStringLiteral("<?xml version='1.0' encoding='Shift-JIS' ?>‡") + u'<' + name + u'>' + text
                  + QStringLiteral("</") + name + u'>';
        break;
    case 1:
        element = QStringLiteral("   <") + name + QStringLiteral(">‡") + text + QStringLiteral("   </") + name
                  + QStringLiteral(">‡");
        break;
    case 2:
        element = QStringLiteral("      <") + name + u'>' + text + QStringLiteral("</") + name
                  + QStringLiteral(">‡");
        break;
    default: return {};
    }
    return element.replace(u'‡', CrLf);
}

void yIni::GetTxt(const QString &sFL, bool &bOk)
{
    DocText.clear();
    m_loadFailedOnExistingFile = false;
    m_encoding = Encoding::Cp932;
    m_undecodable = false;
    DocPath = sFL;
    const qsizetype dv = DocPath.indexOf(QStringLiteral("_DV.xml"), 0, Qt::CaseInsensitive);
    if (dv >= 0)
        DocPath.replace(dv, 7, QStringLiteral(".xml"));
    EnsureFileSystem();

    if (QFileInfo(DocPath).isFile()) {
        QFile file(DocPath);
        QByteArray bytes;
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
        if (!file.isOpen() || !file.atEnd()) {
            m_loadFailedOnExistingFile = true;
            bOk = false;
            return;
        }
        SettingsText read = settingsText(bytes);
        // An empty file, or one whose first line is empty, is no document.
        if (!read.text.isEmpty() && read.text[0] != u'\r' && read.text[0] != u'\n') {
            DocText = std::move(read.text);
            m_encoding = read.encoding;
            m_undecodable = read.undecodable;
        }
    } else if (!TextFile::writeBytes(DocPath, {}).ok) {
        bOk = false;
        return;
    }
    if (DocText.isEmpty())
        DocText = MkTag(0, RootName, CrLf);
    bOk = true;
}

void yIni::GetGtx(const QString &sGp)
{
    GroupName = sGp;
    GroupText = GtTag(0, sGp);
}

QVariant yIni::vGtVal(const QString &sKy, const QVariant &vDef)
{
    const QString t = GtTag(1, sKy);
    switch (vDef.typeId()) {
    case QMetaType::QString: return t.isEmpty() ? vDef : QVariant(t);
    case QMetaType::Bool: {
        if (t.isEmpty())
            return QVariant(vDef.toBool());
        const QString word = t.trimmed();
        if (word.compare(u"True", Qt::CaseInsensitive) == 0)
            return QVariant(true);
        if (word.compare(u"False", Qt::CaseInsensitive) == 0)
            return QVariant(false);
        bool isNumber = false;
        const double number = QLocale::c().toDouble(word, &isNumber);
        if (isNumber)
            return QVariant(number != 0);
        return {}; // the text is no boolean: the caller sees an invalid value
    }
    case QMetaType::QDate:
    case QMetaType::QDateTime: {
        if (t.isEmpty())
            return vDef;
        const QLocale system = QLocale::system();
        QDateTime when = system.toDateTime(t, QLocale::ShortFormat);
        if (!when.isValid())
            when = QDateTime(system.toDate(t, QLocale::ShortFormat), QTime(0, 0));
        if (!when.isValid())
            when = QDateTime::fromString(t, Qt::ISODate);
        if (!when.isValid())
            return vDef;
        return vDef.typeId() == QMetaType::QDate ? QVariant(when.date()) : QVariant(when);
    }
    default: return t.isEmpty() ? vDef : QVariant(readNumber(t));
    }
}

void yIni::SetVal(const QString &sKy, const QVariant &vVL)
{
    const qsizetype b = GroupText.indexOf(u'<' + sKy + u'>');
    qsizetype e = -1;
    qsizetype g = -1;
    if (b >= 0) {
        g = b + sKy.size() + 1; // the opening tag's ">"
        e = GroupText.indexOf(QStringLiteral("</") + sKy + u'>', g + 1);
    }
    if (e >= 0)
        GroupText = GroupText.left(g + 1) + valueText(vVL) + GroupText.mid(e);
    else
        GroupText += MkTag(2, sKy, vVL);
}

void yIni::SetGtx()
{
    if (DocText.isEmpty())
        DocText = MkTag(0, RootName, CrLf);
    const qsizetype a = DocText.indexOf(u'<' + GroupName + u'>');
    if (a >= 0) {
        const qsizetype afterTag = a + GroupName.size() + 2;
        const qsizetype c = afterTag + 2; // after the line end that follows the opening tag
        const qsizetype e = DocText.indexOf(QStringLiteral("</") + GroupName + u'>', afterTag);
        if (e >= 0 && e < c) {
            // The closing tag stands right after the opening one (typed by
            // hand): the group gets its own line end back.
            DocText = DocText.left(afterTag) + CrLf + GroupText + QStringLiteral("   ") + DocText.mid(e);
            return;
        }
        if (e >= 0) {
            DocText = DocText.left(c) + GroupText + QStringLiteral("   ") + DocText.mid(e);
            return;
        }
    }
    const QString group = MkTag(1, GroupName, GroupText);
    const qsizetype r = DocText.indexOf(QStringLiteral("</") + RootName + u'>');
    if (r < 0)
        DocText += group + QStringLiteral("</") + RootName + u'>';
    else
        DocText = DocText.left(r) + group + DocText.mid(r);
}

void yIni::SetTxt(bool &bOk)
{
    if (DocPath.isEmpty())
        return;
    EnsureFileSystem();
    if (m_loadFailedOnExistingFile) {
        bOk = false;
        return;
    }
    // Characters without a code page 932 form (an undecodable byte read as
    // U+FFFD among them) would be lost: nothing is written, the old file
    // stays, and the person is told where the first one stands. A document
    // read as UTF-8 is written back as UTF-8, its byte-order mark kept.
    TextFile::WriteResult written;
    if (m_encoding == Encoding::Cp932) {
        written = TextFile::write(DocPath, DocText);
    } else if (const qsizetype lost = m_undecodable ? DocText.indexOf(QChar::ReplacementCharacter) : -1; lost >= 0) {
        written.firstUnmappable = lost;
        written.unmappableCount = DocText.count(QChar::ReplacementCharacter);
    } else {
        const QByteArray mark = m_encoding == Encoding::Utf8WithMark ? QByteArray(Bom, 3) : QByteArray();
        written = TextFile::writeBytes(DocPath, mark + DocText.toUtf8());
    }
    if (written.unmappableCount > 0) {
        const qsizetype line = QStringView(DocText).first(written.firstUnmappable).count(u'\n') + 1;
        m_messages.append(QStringLiteral("ﾕｰｻﾞｰ環境ﾌｧｲﾙ(") + DocPath + QStringLiteral(") を保存できません") + u'\r'
             + QStringLiteral("%1 行目など %2 文字はﾌｧｲﾙに保存できない文字です").arg(line).arg(written.unmappableCount));
    }
    bOk = written.ok;
}

// ---- folders -----------------------------------------------------------------

QString yIni::FsGtSpFld(int nFlg) const
{
    QString folder;
    switch (nFlg) {
    case 26: folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation); break;
    case 5: folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation); break;
    case 9:
        folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        if (!folder.isEmpty())
            folder += QStringLiteral("/applications");
        break;
    default: return {};
    }
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

void yIni::F_CreateFld(const QString &sFd)
{
    EnsureFileSystem();
    if (sFd.isEmpty() || QFileInfo(sFd).isDir())
        return;
    const QString path = withSlash(sFd);
    for (qsizetype at = path.indexOf(u'/'); at >= 0; at = path.indexOf(u'/', at + 1)) {
        const QString level = path.left(at);
        if (!level.isEmpty() && !QFileInfo(level).isDir())
            QDir().mkdir(level); // a level that fails is left; the walk goes on
    }
}

bool yIni::F_ChkSb(const QString &sPh, const QStringList &Ary)
{
    EnsureFileSystem();
    for (const QString &name : Ary) {
        const QString path = sPh + name;
        if (!QFileInfo(path).isDir() && !QDir().mkdir(path))
            return false;
    }
    return true;
}

void yIni::W_UserData(const QObject *nWhnd)
{
    OwnerWnd = nWhnd;
    const QString folder = programFolder();
    EnsureFileSystem();
    const QString &name = Program().ProgramName;

    // The program's location, written at the first start and whenever it moves.
    if (!name.isEmpty()) {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("QuorvaleTools"));
        const QString key = QStringLiteral("Path/") + name;
        const QString file = programFile();
        if (store.value(key).toString().toLower() != file.toLower())
            store.setValue(key, file);
    }

    const QString tail = QStringLiteral("/Quorvale/") + name + u'/';
    const QString defaultFolder = FsGtSpFld(26) + tail;
    const QString useDefault = QStringLiteral("ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞは　") + defaultFolder + QStringLiteral(" を使用します");

    QString choice = QStringLiteral("%applicaion data%");
    const QString iniPath = folder + QStringLiteral("UserData.ini");
    if (QFileInfo(iniPath).isFile()) {
        QFile file(iniPath);
        // A file that cannot be read counts as an empty one.
        const QString text = file.open(QIODevice::ReadOnly) ? settingsText(file.readAll()).text : QString();
        if (text.isEmpty() || text[0] == u'\r' || text[0] == u'\n') {
            m_messages.append(QStringLiteral(" ﾕｰｻﾞｰﾃﾞｰﾀｰﾌｫﾙﾀﾞが定義されていません") + u'\r' + defaultFolder
                 + QStringLiteral(" を使用します"));
        } else {
            // Editors end the last line: one line end after the setting is no part of it.
            choice = text;
            if (choice.endsWith(u'\n'))
                choice.chop(choice.endsWith(QStringLiteral("\r\n")) ? 2 : 1);
        }
    } else {
        m_messages.append(iniPath + QStringLiteral(" が見つかりません") + u'\r' + useDefault);
    }

    // Placeholders match in any letter case; a folder path keeps its own.
    const QString lower = choice.toLower();
    QString chosen;
    if (lower == u"%app%")
        chosen = folder + QStringLiteral("usData/");
    else if (lower == u"%doc" || lower == u"%my document%")
        chosen = FsGtSpFld(5) + tail;
    else if (lower.startsWith(u'%')) // "%usr%", "%applicaion data%" and any other placeholder
        chosen = defaultFolder;
    else if (QFileInfo(choice).isDir())
        chosen = withSlash(choice);
    else {
        m_messages.append(QStringLiteral("ﾌｫﾙﾀﾞ ") + choice + QStringLiteral(" が見つかりません") + u'\r' + useDefault);
        chosen = defaultFolder;
    }
    Program().UserDataFolder = chosen;
    if (!QFileInfo(chosen).isDir())
        F_CreateFld(chosen);
}

// ---- shortcuts and the desktop -------------------------------------------------

bool yIni::writeLink(const QString &path, const QString &target)
{
    EnsureFileSystem();
    return TextFile::writeBytes(path, linkEntry(QFileInfo(path).completeBaseName(), target)).ok;
}

void yIni::W_Help(const QString &sJob, const std::function<bool(const QUrl &)> &fallback)
{
    const QString shortcut = Program().UserDataFolder + Program().ProgramName + QStringLiteral("_help.lnk");
    QString page = sJob.toLower();
    if (!page.contains(u'.'))
        page += QStringLiteral(".htm");
    const QUrl address(helpSite().toString() + page);
    if (!writeLink(shortcut, address.toString()))
        return;
    if (m_desktop)
        m_desktop->handOff(address, fallback);
}

void yIni::W_HtmView(const QString &sUrl)
{
    // "Wrk" is not made here: without it nothing is written and nothing opens.
    const QString shortcut = Program().UserDataFolder + QStringLiteral("Wrk/htm_view.lnk");
    if (!QFileInfo(shortcut).dir().exists() || !writeLink(shortcut, sUrl))
        return;
    if (m_desktop)
        m_desktop->openUrl(QUrl(sUrl));
}

void yIni::W_SendTo()
{
    const QString folder = FsGtSpFld(9);
    const QString file = programFile();
    if (!writeLink(folder + u'/' + Program().ProgramName + QStringLiteral(".lnk"), QUrl::fromLocalFile(file).toString()))
        return;
    m_messages.append(file + QStringLiteral(" のｼｮｰﾄｶｯﾄを ") + folder + QStringLiteral(" に作成しました"));
}

void yIni::W_ExpFd(const QString &sFld, bool bOpn)
{
    if (sFld.isEmpty())
        return;
    if (!m_desktop)
        return;
    if (bOpn) {
        m_desktop->openUrl(QUrl::fromLocalFile(sFld));
        return;
    }
    EnsureFileSystem();
    if (QFileInfo(sFld).isDir())
        m_desktop->openUrl(QUrl::fromLocalFile(sFld));
}
