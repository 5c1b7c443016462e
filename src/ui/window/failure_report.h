// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The general failure report: what a handler did not catch is shown to the
// user in a box and the window goes on.
#include <QString>
#include <functional>

namespace failure {

// Runs `handler`; whatever it throws is turned into a text and handed to
// `report`. Nothing escapes, not even from `report` itself, so no exception
// can reach Qt's event loop.
void RunGuarded(const std::function<void()>& handler,
                const std::function<void(const QString&)>& report) noexcept;

}  // namespace failure
