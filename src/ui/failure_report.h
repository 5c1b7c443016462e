#pragma once
// The general failure report: what a handler did not catch is shown to the
// user in a box and the window goes on.
#include <QString>
#include <functional>

namespace failure {

// The message as the report shows it: a "." is appended when the text is not
// empty and its last character sorts after "." (a letter, a digit, any
// non-ASCII character), so "JPEG error #42" reads "JPEG error #42." while a
// text ending in "!", ",", ")" or "." stays as it is.
QString WithFullStop(const QString& message);

// Runs `handler`; whatever it throws is turned into a text (with the full stop
// rule applied) and handed to `report`. Nothing escapes, not even from
// `report` itself, so no exception can reach Qt's event loop.
void RunGuarded(const std::function<void()>& handler,
                const std::function<void(const QString&)>& report) noexcept;

}  // namespace failure
