// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
class QApplication;

// What the application sets before its window is made: one style on every
// desktop, the application title and the window font.
void SetUpApplication(QApplication& app);
