// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QFont>

// The window's font: "宋体" at the given character height in pixels, or an
// installed CJK font in its place where that font is missing.
QFont WindowFont(int pixelSize = 12);
