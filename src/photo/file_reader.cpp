// SPDX-License-Identifier: GPL-3.0-or-later
#include "photo/file_reader.h"

#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace photo {

namespace {
[[noreturn]] void Fail(const QString& text) {
    throw std::runtime_error(text.toStdString());
}
}  // namespace

QByteArray ReadWholeFile(const QString& path, qint64 maxBytes) {
    if (!QFileInfo(path).isFile())
        Fail(QStringLiteral("not a regular file: %1").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail(QStringLiteral("open %1: %2").arg(path, file.errorString()));
    if (file.size() > maxBytes)
        Fail(QStringLiteral("too large: %1").arg(path));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        Fail(QStringLiteral("read %1: %2").arg(path, file.errorString()));
    return bytes;
}

}  // namespace photo
