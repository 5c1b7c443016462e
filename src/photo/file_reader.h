// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
#include <QByteArray>
#include <QString>

namespace photo {

// No portrait comes near this; a larger file is not read into memory at all.
constexpr qint64 kLargestFile = qint64(1) << 30;

// The whole content of a regular file of at most maxBytes. Throws
// std::runtime_error (a UTF-8 text naming the file) for anything else:
// a named pipe would block until some other program writes to it, and a
// device such as /dev/zero never ends.
QByteArray ReadWholeFile(const QString& path, qint64 maxBytes = kLargestFile);

}  // namespace photo
