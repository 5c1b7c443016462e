// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The face check: counts the frontal faces in a photo with OpenCV's Haar
// cascade. Its state is process-wide: one check at a time, on whichever
// thread runs it (the window runs one long step at a time).
#include <QByteArray>
#include <QRect>
#include <QVector>
#include <QString>

#include <stdexcept>

namespace face {

// Faces found by the latest check that completed; 0 before the first one.
// A check that fails leaves it as it was.
extern int FaceCount;

// A check that could not run: no cascade, or an image that cannot be read.
// what() is a short UTF-8 text (QString::fromUtf8) naming the file.
class FaceCheckError : public std::runtime_error {
public:
    using runtime_error::runtime_error;
};

// The folder of the running executable (symbolic links resolved), with a
// trailing '/'. Never the current directory.
QString ProgramFolder();

// Counts the faces in the image file at path into FaceCount. The cascade
// "haarcascade_frontalface_alt.xml" is loaded from cascadeFolder (which ends
// in '/') at the first check that finds it and kept for the rest of the run.
// Throws FaceCheckError when the cascade or the image cannot be loaded.
void CountFaces(const QString& path);
void CountFaces(const QString& path, const QString& cascadeFolder);

// The faces of the latest check that completed, in the upright photo's pixels.
QVector<QRect> FaceRectangles();

// The same check on JPEG bytes held in memory.
void CountFacesInJpeg(const QByteArray& jpeg);
void CountFacesInJpeg(const QByteArray& jpeg, const QString& cascadeFolder);

}  // namespace face
