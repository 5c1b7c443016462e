// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/failure_report.h"

#include <exception>


namespace failure {

void RunGuarded(const std::function<void()>& handler,
                const std::function<void(const std::exception_ptr&)>& report) noexcept {
    std::exception_ptr failure;
    try {
        handler();
        return;
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        report(failure);
    } catch (...) {
        // The report is the last resort; a failure inside it is dropped
        // rather than allowed to end the program.
    }
}

}  // namespace failure
