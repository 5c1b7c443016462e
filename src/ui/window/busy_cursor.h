// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QApplication>

// Shows the busy cursor for as long as it lives. Scope it so that it ends
// before any message box opens.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};
