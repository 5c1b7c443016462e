// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The general failure report: what a handler did not catch is shown to the
// user in a box and the window goes on.
#include <QString>
#include <exception>
#include <functional>

namespace failure {

// Runs `handler`; whatever it throws is handed to `report`, which has it
// worded. Nothing escapes, not even from `report` itself, so no exception
// can reach Qt's event loop.
void RunGuarded(const std::function<void()>& handler,
                const std::function<void(const std::exception_ptr&)>& report) noexcept;

}  // namespace failure
