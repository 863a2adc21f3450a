#include "TestData.h"

QString testDataPath(const QString &relative)
{
    return QStringLiteral(KOTOVEN_SOURCE_DIR "/tests/data/") + relative;
}
