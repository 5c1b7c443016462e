// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/failure_report.h"

#include <exception>

#include "texts/texts.h"

namespace failure {

void RunGuarded(const std::function<void()>& handler,
                const std::function<void(const QString&)>& report) noexcept {
    QString text;
    try {
        handler();
        return;
    } catch (...) {
        text = texts::FailureText(std::current_exception());
    }
    try {
        report(text);
    } catch (...) {
        // The report is the last resort; a failure inside it is dropped
        // rather than allowed to end the program.
    }
}

}  // namespace failure
