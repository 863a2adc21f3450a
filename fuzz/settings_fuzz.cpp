// libFuzzer target for the settings document: random documents and random
// sequences of group and key operations never crash, and a group (and a key)
// written then read gives back the same text.
//
// Input: two bytes of document length, the document in code page 932, then
// operations: one byte each, followed by their length-prefixed UTF-8 texts.
#include "core/env/Cp932.h"
#include "core/env/Desktop.h"
#include "core/env/Program.h"
#include "core/env/yIni.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class SilentDesktop final : public Desktop
{
public:
    Answer ask(const QString &, Buttons) override { return Answer::Ok; }
    QString chooseFile(const FileRequest &) override { return {}; }
    bool handOff(const QUrl &, const Fallback &) override { return true; }
    std::optional<SortChoice> chooseSort(const QStringList &, int) override { return std::nullopt; }
    int choose(const QString &, const QStringList &labels) override { return int(labels.size()) - 1; }
    int chooseSheet(const std::vector<SheetInfo> &, int) override { return -1; }
    bool mapColumns(const SourceTable &, ColumnMapping &) override { return false; }
};

class Reader
{
public:
    Reader(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_at >= m_size; }
    uint8_t byte() { return atEnd() ? 0 : m_data[m_at++]; }
    QByteArray bytes(size_t n)
    {
        n = std::min(n, m_size - std::min(m_at, m_size));
        QByteArray out(reinterpret_cast<const char *>(m_data + m_at), qsizetype(n));
        m_at += n;
        return out;
    }
    QString text() { return QString::fromUtf8(bytes(byte() % 48)); }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_at = 0;
};

QVariant valueOf(Reader &in)
{
    switch (in.byte() % 6) {
    case 0: return in.text();
    case 1: return int(int16_t(in.byte() << 8 | in.byte()));
    case 2: return float(int16_t(in.byte() << 8 | in.byte())) / 7.0F;
    case 3: return bool(in.byte() & 1);
    case 4: return QDate(2000 + in.byte() % 50, 1 + in.byte() % 12, 1 + in.byte() % 28);
    default: return {};
    }
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Writes group g with one key k = x into a document that holds neither of
// g's tags, and reads both back.
void roundTrip(yIni &ini, const QString &g, const QString &k, const QString &x)
{
    const QString open = u'<' + g + u'>';
    const QString close = QStringLiteral("</") + g + u'>';
    if (g.contains(u'<') || g.contains(u'>') || k.contains(u'<') || k.contains(u'>') || ini.docText().isEmpty()
        || ini.docText().contains(open) || ini.docText().contains(close) || x.contains(u'‡') || x.contains(open)
        || x.contains(close) || x.contains(QStringLiteral("</") + k + u'>') || k.contains(u'‡') || g.contains(u'‡'))
        return;
    ini.GetGtx(g);
    check(ini.groupText().isEmpty());
    ini.SetVal(k, x);
    const QString written = ini.groupText();
    if (written.contains(open) || written.contains(close))
        return; // the key's own tags spell the group's (k built from g)
    ini.SetGtx();
    ini.GetGtx(g);
    check(ini.groupText() == written);
    if (!x.isEmpty())
        check(ini.vGtVal(k, QStringLiteral("-")).toString() == x);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // On tmpfs where there is one: every save syncs the file to disk.
    static QTemporaryDir dir(QFile::exists(QStringLiteral("/dev/shm"))
                                 ? QStringLiteral("/dev/shm/settings_fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/settings_fuzz-XXXXXX"));
    static SilentDesktop desktop;
    const QString path = dir.filePath(QStringLiteral("User.xml"));

    Reader in(data, size);
    const size_t length = size_t(in.byte()) << 8 | in.byte();
    const QByteArray document = in.bytes(length);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size())
            return 0;
    }

    yIni ini(&desktop);
    bool ok = false;
    ini.GetTxt(path, ok);
    check(ok);
    check(!ini.docText().isEmpty());

    for (int steps = 0; !in.atEnd() && steps < 64; ++steps) {
        switch (in.byte() % 7) {
        case 0: ini.GetGtx(in.text()); break;
        case 1: {
            const QString key = in.text();
            ini.vGtVal(key, valueOf(in));
            break;
        }
        case 2: {
            const QString key = in.text();
            ini.SetVal(key, valueOf(in));
            break;
        }
        case 3: ini.SetGtx(); break;
        case 4: {
            const QString g = in.text();
            const QString k = in.text();
            roundTrip(ini, g, k, in.text());
            break;
        }
        case 5: yIni::readNumber(in.text()); break;
        default: {
            // A document is written back in the encoding it was read in: not
            // at all when code page 932 cannot hold a character, nor when its
            // UTF-8 held bytes that did not decode and are still lost in it.
            const bool writable = ini.docEncoding() == yIni::Encoding::Cp932
                                      ? Cp932::encode(ini.docText()).unmappableCount == 0
                                      : !(ini.docUndecodable() && ini.docText().contains(QChar::ReplacementCharacter));
            ini.SetTxt(ok);
            check(ok == writable);
            yIni again;
            again.GetTxt(path, ok);
            break;
        }
        }
    }
    return 0;
}
