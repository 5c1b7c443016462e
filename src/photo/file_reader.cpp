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
        Fail(QStringLiteral("\"%1\" is not a file.").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        Fail(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    if (file.size() > maxBytes)
        Fail(QStringLiteral("File \"%1\" is too large.").arg(path));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        Fail(QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()));
    return bytes;
}

}  // namespace photo
