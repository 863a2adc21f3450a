#include "Program.h"

#include <QCoreApplication>
#include <QFileInfo>

ProgramState &Program()
{
    static ProgramState state;
    return state;
}

QString programNameFromPath(const QString &executablePath)
{
    QString name = QFileInfo(executablePath).completeBaseName();
    if (name.right(3).toLower() == u"_dv")
        name.chop(3);
    return name;
}

QString programFolder()
{
    QString folder = Program().ProgramFolder;
    if (folder.isEmpty())
        folder = QCoreApplication::applicationDirPath();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}
