// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/upload_names.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <climits>
#include <unistd.h>

namespace batch {

namespace {

bool Reserved(const QString& name) {
    // Windows takes these for devices, whatever follows the first dot.
    const QString base = name.section(QLatin1Char('.'), 0, 0).toUpper();
    static const QStringList devices{QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                     QStringLiteral("NUL")};
    if (devices.contains(base))
        return true;
    return base.size() == 4 && (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT"))) &&
           base[3] >= QLatin1Char('1') && base[3] <= QLatin1Char('9');
}

NameProblem CharacterProblem(const QString& name) {
    static const QString forbidden = QStringLiteral("\"*:<>?\\|/");
    for (const QChar c : name) {
        if (c.unicode() < 0x20)
            return {NameProblem::ControlCharacter, name, c, 0};
        if (forbidden.contains(c))
            return {NameProblem::ForbiddenCharacter, name, c, 0};
    }
    return {};
}

}  // namespace

NameLimits LimitsOf(const QString& outputFolder) {
    NameLimits limits;
    limits.folder = QFileInfo(outputFolder).absoluteFilePath();
    const QByteArray native = QFile::encodeName(limits.folder);
    const long name = pathconf(native.constData(), _PC_NAME_MAX);
    const long path = pathconf(native.constData(), _PC_PATH_MAX);
    limits.nameBytes = name > 0 && name < INT_MAX ? int(name) : NAME_MAX;
    limits.pathBytes = path > 0 && path < INT_MAX ? int(path) : PATH_MAX;
    return limits;
}

NameProblem FileNameProblem(const QString& name, const NameLimits& limits) {
    if (name.isEmpty())
        return {NameProblem::Empty, name, {}, 0};
    if (const NameProblem character = CharacterProblem(name))
        return character;
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return {NameProblem::EndsInDotOrSpace, name, {}, 0};
    if (Reserved(name))
        return {NameProblem::ReservedName, name, {}, 0};
    if (name.size() > kUsbNameUnits)
        return {NameProblem::LongerThanUsb, name, {}, kUsbNameUnits};
    if (name.toUtf8().size() > limits.nameBytes)
        return {NameProblem::LongerThanOutput, name, {}, limits.nameBytes};
    return {};
}

NameProblem UploadPathProblem(const QString& upload, const NameLimits& limits) {
    for (const QString& part : upload.split(QLatin1Char('/')))
        if (const NameProblem problem = FileNameProblem(part, limits))
            return problem;
    const QString path = QDir(limits.folder).filePath(upload);
    if (QFile::encodeName(path).size() + 1 > limits.pathBytes)
        return {NameProblem::PathTooLong, upload, {}, limits.pathBytes};
    return {};
}

}  // namespace batch
