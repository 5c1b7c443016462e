// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The face check: the frontal faces in a JPEG's bytes, found with OpenCV's
// Haar cascade. A check is a function of its bytes; the only state shared
// between checks is the parsed cascade, so two checks may run at once.
#include <QByteArray>
#include <QRect>
#include <QString>
#include <QVector>

#include <atomic>
#include <stdexcept>

#include "photo/jpeg_decoder.h"

namespace face {

// A cascade file (the face's or the eyes') is missing, unreadable or
// damaged. Tried again at the next check, so putting the file back needs no
// restart.
class CascadeMissing : public std::runtime_error {
public:
    explicit CascadeMissing(const QString& path);
    const QString& path() const { return path_; }

private:
    QString path_;
};

// The bytes decode to no image.
class ImageUnreadable : public std::runtime_error {
public:
    ImageUnreadable();
};

// OpenCV failed for a reason other than memory; what() is OpenCV's message.
// No fault of the photo's: the tool reports it as an unexpected failure.
class DetectorFailure : public std::runtime_error {
public:
    explicit DetectorFailure(const std::string& message);
};

// The folder of the running executable (symbolic links resolved), with a
// trailing '/'. Never the current directory.
QString ProgramFolder();

// The face check. Named for the count its callers ask of it, it returns the
// faces themselves: their rectangles in the upright photo's pixels, empty
// when there is none. The search stops once it knows that there is a face,
// so these are the faces known by then: at least one when there is a face,
// not always all. `header` is the bytes' own, read once by the caller; the
// other form reads it. The cascade "haarcascade_frontalface_alt.xml" comes
// from cascadeFolder. Throws CascadeMissing, ImageUnreadable, std::bad_alloc
// when memory runs out, DetectorFailure for any other failure of OpenCV's, or
// photo::Stopped once `stop` is set.
QVector<QRect> CountFaces(const QByteArray& jpeg, const photo::JpegHeader& header,
                          const QString& cascadeFolder = ProgramFolder(), const std::atomic<bool>* stop = nullptr);
QVector<QRect> CountFaces(const QByteArray& jpeg, const QString& cascadeFolder = ProgramFolder(),
                          const std::atomic<bool>* stop = nullptr);

// OpenCV spreads each search over the cores; where checks already run side
// by side, one on each core, that only adds to their work. While one of
// these lives, a search keeps to the thread that runs it.
class SearchOnOneThread {
public:
    SearchOnOneThread();
    ~SearchOnOneThread();
    SearchOnOneThread(const SearchOnOneThread&) = delete;
    SearchOnOneThread& operator=(const SearchOnOneThread&) = delete;

private:
    int threads_;
};

// The bytes a face check of this photo may hold at once: the image it
// decodes (its grey, or its colours and their reduced copy where it is
// searched reduced) and the detector's working memory for a search that
// visits every size.
qint64 CheckBytes(const photo::JpegHeader& header);

}  // namespace face
