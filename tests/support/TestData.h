#pragma once

#include <QString>

// Where the checked-in test fixtures live.
QString testDataPath(const QString &relative);
