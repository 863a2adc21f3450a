#include "FileNames.h"

#include <QDir>
#include <QUrl>

namespace FileNames {

std::optional<QString> fileArgument(const QStringList &arguments, const QString &workingFolder)
{
    bool options = true;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (options && argument == QStringLiteral("--")) {
            options = false;
            continue;
        }
        if (argument.isEmpty() || (options && argument.startsWith(u'-')))
            continue;
        QString path = argument;
        if (argument.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
            const QUrl url(argument);
            if (!url.isValid() || !url.isLocalFile() || url.toLocalFile().isEmpty())
                continue;
            path = url.toLocalFile();
        }
        return QDir::cleanPath(QDir(workingFolder).absoluteFilePath(path));
    }
    return std::nullopt;
}

QString withCsvExtension(const QString &name)
{
    if (name.isEmpty())
        return name;
    const qsizetype slash = name.lastIndexOf(u'/');
    const QString last = name.mid(slash + 1);
    // A leading point marks a hidden file, not an extension.
    if (last.isEmpty() || last.lastIndexOf(u'.') > 0)
        return name;
    return name + QStringLiteral(".csv");
}

QString openName(const QString &name, const std::function<bool(const QString &)> &exists)
{
    if (name.isEmpty() || exists(name))
        return name;
    QString completed = withCsvExtension(name);
    if (completed != name && exists(completed))
        return completed;
    return name;
}

} // namespace FileNames
