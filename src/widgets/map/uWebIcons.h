#pragma once

#include <QIcon>

// The picture of toolbar button `index` (2..9): the desktop theme's icon,
// or a small drawn one where the theme has none.
QIcon uWebIcon(int index);
