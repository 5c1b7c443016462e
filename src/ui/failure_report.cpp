#include "ui/failure_report.h"

#include <exception>
#include <new>

namespace failure {

QString WithFullStop(const QString& message) {
    if (message.isEmpty() || message.back().unicode() <= u'.')
        return message;
    return message + u'.';
}

void RunGuarded(const std::function<void()>& handler,
                const std::function<void(const QString&)>& report) noexcept {
    QString text;
    try {
        handler();
        return;
    } catch (const std::bad_alloc&) {
        text = QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = QStringLiteral("Unexpected failure");
    }
    try {
        report(WithFullStop(text));
    } catch (...) {
        // The report is the last resort; a failure inside it is dropped
        // rather than allowed to end the program.
    }
}

}  // namespace failure
