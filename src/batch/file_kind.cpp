// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/file_kind.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <algorithm>
#include <array>

namespace batch {

namespace {

bool At(const QByteArray& head, int offset, const char* magic, int length) {
    return head.size() >= offset + length && head.mid(offset, length) == QByteArray(magic, length);
}

// An ISO media file (HEIF, AVIF, also MP4 and MOV) names its kinds in its
// first box, `ftyp`: the major brand, then the compatible ones.
QString IsoMediaFormat(const QByteArray& head) {
    if (!At(head, 4, "ftyp", 4))
        return {};
    static const std::array<QByteArray, 8> heic{"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs"};
    const qsizetype boxEnd = std::min<qsizetype>(head.size(), qFromBigEndian<quint32>(head.constData()));
    bool heif = false;
    for (qsizetype at = 8; at + 4 <= boxEnd; at += at == 8 ? 8 : 4) {  // the minor version is no brand
        const QByteArray brand = head.mid(at, 4);
        if (brand == "avif" || brand == "avis")
            return QStringLiteral("AVIF");
        if (std::find(heic.begin(), heic.end(), brand) != heic.end())
            return QStringLiteral("HEIC");
        heif = heif || brand == "mif1" || brand == "msf1" || brand == "mif2";
    }
    return heif ? QStringLiteral("HEIF") : QString();
}

// "BM" starts many a text; a bitmap follows it with one of the known sizes
// of its second header.
bool IsBmp(const QByteArray& head) {
    if (!At(head, 0, "BM", 2) || head.size() < 18)
        return false;
    const quint32 infoSize = qFromLittleEndian<quint32>(head.constData() + 14);
    for (const quint32 size : {12u, 16u, 40u, 52u, 56u, 64u, 108u, 124u})
        if (infoSize == size)
            return true;
    return false;
}

QString OtherFormat(const QByteArray& head) {
    if (At(head, 0, "\x89PNG\r\n\x1A\n", 8))
        return QStringLiteral("PNG");
    if (At(head, 0, "RIFF", 4) && At(head, 8, "WEBP", 4))
        return QStringLiteral("WebP");
    if (At(head, 0, "GIF87a", 6) || At(head, 0, "GIF89a", 6))
        return QStringLiteral("GIF");
    if (At(head, 0, "II*\0", 4) || At(head, 0, "MM\0*", 4))
        return QStringLiteral("TIFF");
    if (IsBmp(head))
        return QStringLiteral("BMP");
    return IsoMediaFormat(head);
}

}  // namespace

bool NamedAsPhoto(const QString& fileName) {
    static const QStringList extensions{
        QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("jpe"),  QStringLiteral("jfif"),
        QStringLiteral("png"), QStringLiteral("heic"), QStringLiteral("heif"), QStringLiteral("avif"),
        QStringLiteral("webp"), QStringLiteral("bmp"), QStringLiteral("tif"),  QStringLiteral("tiff"),
        QStringLiteral("gif")};
    return extensions.contains(QFileInfo(fileName).suffix(), Qt::CaseInsensitive);
}

Sniffed SniffBytes(const QByteArray& head, const QString& fileName) {
    if (At(head, 0, "\xFF\xD8\xFF", 3))
        return {FileKind::Jpeg, {}, {}};
    const QString format = OtherFormat(head);
    if (!format.isEmpty())
        return {FileKind::OtherFormat, format, {}};
    return {NamedAsPhoto(fileName) ? FileKind::UnknownPhoto : FileKind::NotAPhoto, {}, {}};
}

Sniffed SniffFile(const QString& path) {
    // A named pipe would block the open until some program writes to it.
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {FileKind::Unreadable, {}, file.errorString()};
    const QByteArray head = file.read(kSniffBytes);
    if (head.isEmpty() && file.error() != QFileDevice::NoError)
        return {FileKind::Unreadable, {}, file.errorString()};
    return SniffBytes(head, QFileInfo(path).fileName());
}

}  // namespace batch
