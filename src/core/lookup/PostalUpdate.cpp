#include "PostalUpdate.h"

#include "core/lookup/PostalZip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace {

using PostalReaders::Format;
using PostalReaders::Kind;

constexpr qint64 MaxFileSize = 256 * 1024 * 1024;

QString kindName(Kind kind)
{
    return kind == Kind::Towns ? QStringLiteral("町域") : QStringLiteral("事業所");
}

QString shown(const QDate &date)
{
    return date.isValid() ? date.toString(QStringLiteral("yyyy/MM/dd")) : QStringLiteral("なし");
}

PostalUpdate::Result refused(const QString &file, const QString &reason)
{
    PostalUpdate::Result r;
    r.message = QStringLiteral("郵便番号データを更新できません。") + u'\r' + file + QStringLiteral(": ") + reason;
    return r;
}

// The distinct codes of one kind, sorted.
std::vector<quint32> codes(const PostalDictionary &dict, Kind kind)
{
    const PostalDictionary::Kind want = kind == Kind::Towns ? PostalDictionary::Kind::Town : PostalDictionary::Kind::Office;
    std::vector<quint32> out;
    for (quint32 e = 0; e < quint32(dict.size()); ++e)
        if (dict.kind(e) == want)
            out.push_back(dict.code(e));
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

qsizetype missingFrom(const std::vector<quint32> &a, const std::vector<quint32> &b)
{
    std::vector<quint32> diff;
    std::set_difference(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(diff));
    return qsizetype(diff.size());
}

// Writes `bytes` to `path` in one step, with the modification time `time`
// when it is valid (a CSV file's time is its data's date).
QString writeFile(const QString &path, const QByteArray &bytes, const QDateTime &time)
{
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        return QStringLiteral("%1: %2").arg(path, out.errorString());
    if (time.isValid()) {
        QFile stamped(path);
        if (stamped.open(QIODevice::Append))
            stamped.setFileTime(time, QFileDevice::FileModificationTime);
    }
    return {};
}

QByteArray readAll(const QString &path, QString *error)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) {
        *error = in.errorString();
        return {};
    }
    if (in.size() > MaxFileSize) {
        *error = QStringLiteral("ファイルが大きすぎます（%1 バイト）").arg(in.size());
        return {};
    }
    return in.readAll();
}

} // namespace

namespace PostalUpdate {

QString dialogFolder(const QString &downloads, const QString &home)
{
    return !downloads.isEmpty() && QFileInfo(downloads).isDir() ? downloads : home;
}

QString previousFolder(const QString &userDataFolder)
{
    return QDir(userDataFolder).filePath(QStringLiteral("postal-previous"));
}

Result install(const QString &file, const PostalReaders::Locations &where, const Limits &limits)
{
    QString error;
    const QByteArray bytes = readAll(file, &error);
    if (!error.isEmpty())
        return refused(file, error);
    if (bytes.trimmed().isEmpty())
        return refused(file, QStringLiteral("ファイルが空です"));

    // What it holds: a zip with KEN_ALL.CSV or JIGYOSYO.CSV, or such a CSV.
    const bool zip = PostalZip::isZip(bytes);
    Format format = Format::KenAll;
    if (zip) {
        const QStringList members = PostalZip::memberNames(bytes, &error);
        if (!error.isEmpty())
            return refused(file, error);
        auto holds = [&](Kind kind) {
            return std::any_of(members.begin(), members.end(), [&](const QString &m) {
                const QString name = m.mid(m.lastIndexOf(u'/') + 1);
                return PostalReaders::csvNames(kind).contains(name, Qt::CaseInsensitive);
            });
        };
        if (holds(Kind::Offices) && !holds(Kind::Towns))
            format = Format::Jigyosyo;
        else if (!holds(Kind::Towns))
            return refused(file, QStringLiteral("日本郵便の KEN_ALL.CSV も JIGYOSYO.CSV も入っていません（入っているもの: %1）")
                                     .arg(members.isEmpty() ? QStringLiteral("なし") : members.join(QStringLiteral("、"))));
    } else {
        const std::optional<Format> detected = PostalReaders::detectJapanPost(bytes);
        if (!detected) {
            // Not the fields of either list; the reader says whether the
            // encoding is to blame.
            PostalDictionary probe;
            const PostalDictionary::Source s = PostalReaders::read(bytes, file, {}, Format::KenAll, probe);
            if (s.error.contains(QStringLiteral("文字コード")))
                return refused(file, QStringLiteral("文字コードが違います（Shift_JIS でも UTF-8 でもありません）"));
            return refused(file, QStringLiteral("日本郵便の KEN_ALL.CSV・JIGYOSYO.CSV の形式ではありません"));
        }
        format = *detected;
    }
    const Kind kind = PostalReaders::kindOf(format);
    const QFileInfo info(file);

    // Read in full, as the dictionary will.
    PostalDictionary fresh;
    const PostalDictionary::Source s = PostalReaders::read(bytes, file, info.lastModified(), format, fresh);
    if (!s.error.isEmpty())
        return refused(file, s.error.mid(file.size() + 2));
    const Range range = kind == Kind::Towns ? limits.towns : limits.offices;
    if (s.records < range.min || s.records > range.max)
        return refused(file, QStringLiteral("%1が %2 件です（全国分なら %3～%4 件）。途中で切れているか別のデータです")
                                 .arg(kindName(kind)).arg(s.records).arg(range.min).arg(range.max));
    if (s.skipped > s.records / 100)
        return refused(file, QStringLiteral("読めない行が %1 行あります（読めた行 %2）").arg(s.skipped).arg(s.records));
    if (!s.date.isValid())
        return refused(file, QStringLiteral("データの日付がわかりません"));

    // The data of this kind in use now.
    PostalDictionary current;
    const PostalDictionary::Source inUse =
        PostalReaders::readNewest(PostalReaders::findFiles(where), kind, current);
    const bool hadData = inUse.records > 0 && inUse.error.isEmpty();
    if (hadData && s.date < inUse.date)
        return refused(file, QStringLiteral("%1 のデータ（%2）は使用中のデータ（%3、%4）より古いため更新しません")
                                 .arg(kindName(kind), shown(s.date), shown(inUse.date), QFileInfo(inUse.path).fileName()));
    if (hadData && s.date == inUse.date) {
        Result same;
        same.kind = kind;
        same.oldDate = same.newDate = s.date;
        same.message = QStringLiteral("すでに最新のデータです") + u'\r'
                       + QStringLiteral("%1: %2（%3）").arg(kindName(kind), shown(s.date), file);
        return same;
    }

    const QString userFolder = where.userDataFolder;
    if (userFolder.isEmpty() || !QDir().mkpath(userFolder))
        return refused(file, QStringLiteral("ユーザーデータフォルダーがありません"));
    const QString target = QDir(userFolder).filePath(
        zip ? (kind == Kind::Towns ? QStringLiteral("ken_all.zip") : QStringLiteral("jigyosyo.zip"))
            : PostalReaders::csvNames(kind).front());

    // What is replaced is kept as one generation per kind. The generation is
    // made beside the kept one and takes its place only once the new file is
    // written, so a refused or failed update leaves both as they were.
    const QString previous = previousFolder(userFolder);
    const QString staging = previous + QStringLiteral(".new");
    QDir(staging).removeRecursively();
    if (hadData) {
        QString copyError;
        const QByteArray old = readAll(inUse.path, &copyError);
        const QString kept = QDir(staging).filePath(QFileInfo(inUse.path).fileName());
        if (copyError.isEmpty() && !QDir().mkpath(staging))
            copyError = QStringLiteral("%1 を作れません").arg(staging);
        // The other kind's generation stays.
        const QDir dir(previous);
        for (const QString &name : dir.entryList(QDir::Files)) {
            const bool sameKind = PostalReaders::fileNames(kind).contains(name, Qt::CaseInsensitive)
                                  || name == (kind == Kind::Towns ? QStringLiteral("SKK-JISYO.zipcode")
                                                                  : QStringLiteral("SKK-JISYO.office.zipcode"));
            if (copyError.isEmpty() && !sameKind && !QFile::copy(dir.filePath(name), QDir(staging).filePath(name)))
                copyError = QStringLiteral("%1 を残せません").arg(dir.filePath(name));
        }
        if (copyError.isEmpty())
            copyError = writeFile(kept, old, QFileInfo(inUse.path).lastModified());
        if (!copyError.isEmpty()) {
            QDir(staging).removeRecursively();
            return refused(file, QStringLiteral("使用中のデータを残せません（%1）").arg(copyError));
        }
    }
    if (const QString writeError = writeFile(target, bytes, zip ? QDateTime() : info.lastModified());
        !writeError.isEmpty()) {
        QDir(staging).removeRecursively();
        return refused(file, QStringLiteral("書き込めません（%1）").arg(writeError));
    }
    if (hadData) {
        QDir(previous).removeRecursively();
        QDir().rename(staging, previous);
    }
    // The replaced file, now kept, would otherwise compete with the new one.
    if (hadData && QFileInfo(inUse.path).absolutePath() == QFileInfo(target).absolutePath()
        && QFileInfo(inUse.path).fileName() != QFileInfo(target).fileName())
        QFile::remove(inUse.path);

    Result r;
    r.done = true;
    r.kind = kind;
    r.oldDate = hadData ? inUse.date : QDate();
    r.newDate = s.date;
    const std::vector<quint32> before = codes(current, kind);
    const std::vector<quint32> after = codes(fresh, kind);
    r.added = missingFrom(after, before);
    r.removed = missingFrom(before, after);
    r.installed = target;
    r.message = QStringLiteral("郵便番号データ（%1）を更新しました。").arg(kindName(kind)) + u'\r'
                + QStringLiteral("日付: %1 → %2、郵便番号: 追加 %3 件・削除 %4 件（%5）")
                      .arg(shown(r.oldDate), shown(r.newDate))
                      .arg(r.added)
                      .arg(r.removed)
                      .arg(info.fileName());
    return r;
}

std::unique_ptr<PostalDictionary> loadPrevious(const QString &userDataFolder)
{
    const QString folder = previousFolder(userDataFolder);
    if (!QFileInfo(folder).isDir())
        return nullptr;
    PostalReaders::Locations where;
    where.userDataFolder = folder;
    where.skkFolder = folder;
    return PostalReaders::load(where);
}

} // namespace PostalUpdate
