#include "ImeFramework.h"

#include <QByteArray>
#include <QList>

#include <algorithm>

namespace ImeFramework {

namespace {

Kind byName(const QString &name)
{
    const QString lower = name.trimmed().toLower();
    if (lower == u"ibus")
        return Kind::IBus;
    // "fcitx" is Fcitx 5's module for Qt and GTK alike; "fcitx5" is its
    // other name for Qt.
    if (lower == u"fcitx" || lower == u"fcitx5")
        return Kind::Fcitx;
    return Kind::None;
}

// XMODIFIERS holds "@im=name", possibly among other modifiers.
Kind byModifiers(const QString &modifiers)
{
    const qsizetype at = modifiers.indexOf(u"@im=");
    if (at < 0)
        return Kind::None;
    const QString rest = modifiers.mid(at + 4);
    const qsizetype end = rest.indexOf(u'@');
    return byName(end < 0 ? rest : rest.left(end));
}

} // namespace

Kind named(const Session &session)
{
    if (!session.qtImModule.trimmed().isEmpty())
        return byName(session.qtImModule);
    if (const Kind kind = byModifiers(session.xmodifiers); kind != Kind::None)
        return kind;
    return byName(session.gtkImModule);
}

Kind decides(Kind named, Presence ibus, Presence fcitx)
{
    const auto presence = [&](Kind kind) { return kind == Kind::IBus ? ibus : fcitx; };
    if (named != Kind::None && presence(named) != Presence::Absent)
        return named;
    for (const Presence wanted : {Presence::Present, Presence::Unknown}) {
        for (const Kind kind : {Kind::Fcitx, Kind::IBus}) {
            if (presence(kind) == wanted)
                return kind;
        }
    }
    return Kind::None;
}

QString ibusAddressFileName(const IBusEnvironment &env)
{
    const QString machineId = env.machineId.trimmed();
    if (machineId.isEmpty())
        return {};
    if (!env.waylandDisplay.isEmpty())
        return machineId + u"-unix-" + env.waylandDisplay;
    // "[host]:number[.screen]"; without a colon the whole is the host.
    QString host = env.display;
    QString number = QStringLiteral("0");
    if (const qsizetype colon = env.display.indexOf(u':'); colon >= 0) {
        host = env.display.left(colon);
        number = env.display.mid(colon + 1);
        if (const qsizetype dot = number.indexOf(u'.'); dot >= 0)
            number.truncate(dot);
    }
    if (host.isEmpty())
        host = QStringLiteral("unix");
    return machineId + u'-' + host + u'-' + number;
}

QString ibusAddressFilePath(const IBusEnvironment &env)
{
    if (!env.addressFile.isEmpty())
        return env.addressFile;
    const QString name = ibusAddressFileName(env);
    // A relative XDG_CONFIG_HOME is not to be used.
    QString config = env.configHome;
    if (!config.startsWith(u'/'))
        config = env.home.isEmpty() ? QString() : env.home + u"/.config";
    if (name.isEmpty() || config.isEmpty())
        return {};
    return config + u"/ibus/bus/" + name;
}

IBusAddressFile ibusAddressFromFile(QByteArrayView contents)
{
    IBusAddressFile file;
    const QList<QByteArray> lines = QByteArray(contents.data(), contents.size()).split('\n');
    for (const QByteArray &line : lines) {
        const QByteArray text = line.trimmed();
        const qsizetype equals = text.indexOf('=');
        if (text.startsWith('#') || equals <= 0)
            continue;
        const QByteArray key = text.left(equals).trimmed();
        const QByteArray value = text.mid(equals + 1).trimmed();
        if (key == "IBUS_ADDRESS") {
            file.address = QString::fromUtf8(value);
        } else if (key == "IBUS_DAEMON_PID") {
            bool ok = false;
            const qint64 pid = value.toLongLong(&ok);
            file.pid = ok && pid > 0 ? pid : -1;
        }
    }
    return file;
}

UnixSocket unixSocketOf(QStringView address)
{
    for (const QStringView entry : address.split(u';')) {
        if (!entry.startsWith(u"unix:"))
            continue;
        for (const QStringView pair : entry.sliced(5).split(u',')) {
            const qsizetype equals = pair.indexOf(u'=');
            const QStringView key = pair.first(std::max<qsizetype>(equals, 0));
            if (key != u"path" && key != u"abstract")
                continue;
            const QByteArray value = pair.sliced(equals + 1).toLatin1();
            const QString name = QString::fromUtf8(QByteArray::fromPercentEncoding(value));
            if (!name.isEmpty())
                return {name, key == u"abstract"};
        }
    }
    return {};
}

QString mozcInputMode(const ImeMode::Request &request, quint32 kept)
{
    if (!request.open)
        return QStringLiteral("InputMode.Direct");
    const quint32 conversion = request.conversion.value_or(kept);
    if (!(conversion & ImeMode::Native))
        return conversion & ImeMode::FullShape ? QStringLiteral("InputMode.WideLatin")
                                               : QStringLiteral("InputMode.Latin");
    if (!(conversion & ImeMode::Katakana))
        return QStringLiteral("InputMode.Hiragana");
    return conversion & ImeMode::FullShape ? QStringLiteral("InputMode.Katakana")
                                           : QStringLiteral("InputMode.HalfWidthKatakana");
}

} // namespace ImeFramework
