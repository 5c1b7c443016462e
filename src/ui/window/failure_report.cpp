// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/failure_report.h"

#include <exception>
#include <new>

#include "texts/texts.h"

namespace failure {

void RunGuarded(const std::function<void()>& handler,
                const std::function<void(const QString&)>& report) noexcept {
    QString text;
    try {
        handler();
        return;
    } catch (const std::bad_alloc&) {
        text = texts::kOutOfMemory;
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = texts::kUnexpectedFailure;
    }
    try {
        report(text);
    } catch (...) {
        // The report is the last resort; a failure inside it is dropped
        // rather than allowed to end the program.
    }
}

}  // namespace failure
