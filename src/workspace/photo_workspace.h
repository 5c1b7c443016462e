// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The photo workspace: the chosen file, the decoded source photo, the working
// photo's scale and place under the crop frame, the drag, the result photo and
// the upload prepared from it. Plain data and the user's actions on it; the
// window only shows what these return.
//
// Long actions come in two halves: Compute* does the slow work on its own
// copies and touches no state, Apply* takes its findings into the state.
//
// The road of one photo, which the window's handlers and a batch both take,
// step by step (the window asks the user and shows a box between them):
//   read      ComputeRead, ApplyRead (and DropFacelessPhoto after its box)
//   frame     FrameFace, the double-click
//   crop      Crop
//   save      CheckResult, ComputeUpload, ApplyUpload, then Save
#include <QByteArray>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

#include "review/review.h"
#include "workspace/head.h"
#include "workspace/outcome.h"
#include "workspace/zoom.h"

namespace photo {
class SourcePhoto;
struct JpegHeader;
}

namespace workspace {

// A framed face's top lies this far below the frame's top: the head then
// keeps about 0.5 cm of the printed photo above it.
constexpr int kFaceTop = 93;

// Files of this size or less are refused as too small for a usable portrait.
constexpr qint64 kSmallestFile = 8192;

// The working photo as the viewport shows it. `present` with an empty
// rendering is the zoom to scale 0: nothing shows, yet a crop is possible.
struct WorkingPhoto {
    bool present = false;
    QImage source;      // the decoded source photo, shared, never copied
    double scale = 1.0;
    QSize renderSize{0, 0};
    QRect geometry;     // the control's place and size in the viewport
};

// What reading a file found, up to the first step that stopped it.
struct ReadWork {
    enum class Stop { FileUnreadable, NotAJpeg, TooSmall, Undecodable, FaceCheckFailed, Complete };
    Stop stop = Stop::FileUnreadable;
    QByteArray bytes;
    std::shared_ptr<photo::SourcePhoto> jpeg;  // always a fresh object
    QVector<QRect> faceRects;  // the faces found, in the upright source photo's pixels
    std::exception_ptr failure;  // what stopped it, where something failed
};

// What preparing the upload found: the encoded photo, the faces in its
// bytes and, where asked, the head around the largest and what a reviewer
// would refuse, measured on the pixels those bytes decode to; or what failed.
struct UploadWork {
    QByteArray jpeg;
    QVector<QRect> faces;
    std::exception_ptr failure;
    std::optional<HeadFinding> head;
    std::optional<review::Findings> findings;
    int quality = 0;  // the encoding's
};

// How a read runs. The window checks the face on a second thread beside the
// decode, so that the user waits less; a batch runs one photo a core, one
// step after the other, and may wait before the decode (for memory) once the
// header is known.
struct ReadPlan {
    bool faceBesideDecode = true;
    std::function<void(const photo::JpegHeader&)> beforeDecode;
};

// What the save would say about the crop the frame would give now: the
// colour checks at once, the face check later, on another thread.
struct LiveVerdict {
    enum class Face { Unasked, Checking, Found, Missing, Failed };
    bool shown = false;               // a working photo, and no long step
    Outcome colour = Outcome::Done;   // Done, BadBackground or WhiteBottomEdge
    Face face = Face::Unasked;        // asked once the colours pass and the mouse is up
    std::exception_ptr faceFailure;   // why the face part failed
    std::optional<HeadFinding> head;  // where a face was found: its head, measured or not
    std::optional<review::Findings> findings;  // and what a reviewer would refuse
    review::WallMiss wallMiss = review::WallMiss::None;  // what a refused wall lacks, where simply said
    QVector<QPoint> rings;            // the failing sample points, in the viewport
    int generation = -1;              // the frame change it is about
};

// Where a double-click puts the photo: the slider position to zoom to, and
// the working photo's place once it has zoomed.
struct Framing {
    int position = 0;
    QPoint place;
};

// The face part of a verdict to work out: the framed pixels, null when
// there is nothing to ask.
struct FaceRequest {
    int generation = 0;
    QImage crop;
};

class PhotoWorkspace {
public:
    // `viewport` is the size of the area that clips the working photo,
    // `photoGeometry` the working photo's place and size before any read:
    // the window's own, unless a test asks for others.
    explicit PhotoWorkspace(QSize viewport = kViewport, QRect photoGeometry = kFirstPlace);
    ~PhotoWorkspace();

    // Reading a chosen file; once progress->stop is set it ends early. The
    // window first sets the slider back to 0, which zooms the previous photo.
    static ReadWork ComputeRead(const QString& path, Progress* progress = nullptr, const ReadPlan& plan = {});
    // The decoded pixels a read of this photo holds at its peak, in bytes:
    // the window's photo and the face check's image.
    static qint64 ReadBytes(const photo::JpegHeader& header);
    // A photo without a face stays on view with its refusal (NoFace) until
    // DropFacelessPhoto takes it away.
    Result ApplyRead(ReadWork work);
    void DropFacelessPhoto();
    Result Read(const QString& path) {
        const Result result = ApplyRead(ComputeRead(path));
        if (result.outcome == Outcome::NoFace)
            DropFacelessPhoto();
        return result;
    }

    // Renders the source photo for a slider position and centres the
    // rendering where it fits. False when the source cannot be decoded: the
    // working photo then stays as it was.
    bool Zoom(int position);
    // Whether the next zoom has to decode the source first (slow).
    bool ZoomDecodes() const;
    // The reset link: refused without a working photo.
    Result CheckReset() const;

    // Framing the face for a double-click. First from the face box: the
    // slider position whose rendering covers the frame and makes the face
    // closest to half the frame's width, and the place that puts the face
    // kFaceTop pixels below the frame's top, centred across. Then, where the
    // frame's colours pass and a head is measured there, from the head: the
    // position that makes it closest to kHeadWidthWanted wide, centred, its
    // top kHeadMargin below the frame's top, measured once more there and
    // moved to match. Nothing to frame without a photo and its face.
    bool CanFrame() const;
    int FramingPosition() const;
    Framing PlanFraming() const;
    // Zooms to the plan's position and puts the photo in its place; ends any
    // drag. Returns the plan, whose position the slider shows.
    Framing FrameFace();

    void Press(int x, int y);
    void Move(int x, int y);
    void Release();

    Result Crop();

    // Saving: the colour checks on the result photo, the encoding with the
    // face re-check (the slow half), then the file. `measureHead` asks for
    // the head too, of a photo whose colours the caller has found to pass.
    Result CheckResult();
    static UploadWork ComputeUpload(const QImage& result, Progress* progress = nullptr, bool measureHead = false);
    // What an upload's own JPEG data show: the faces in them and, where
    // asked, the head around the largest and the reviewer's findings, on the
    // pixels they decode to. An
    // upload file kept from an earlier batch is judged by this too, so that
    // it fares exactly as when it was made.
    static void JudgeUploadBytes(UploadWork& work, Progress* progress, bool measureHead);
    Result ApplyUpload(const UploadWork& work);
    // The save's colour checks on a photo, in the save's order; the flag is
    // the background check's.
    static Outcome JudgeColours(const QImage& photo, bool& coloredBackground);

    // The live verdict. Every change of what lies under the frame (a read,
    // a zoom, a move, a release, a framing, a long step's start and end) is
    // counted; once the count has moved the verdict is stale, and JudgeFrame
    // works it out afresh. It is hidden while a long step runs.
    int FrameChanges() const { return frameChanges_; }
    bool VerdictStale() const { return verdict_.generation != frameChanges_; }
    void JudgeFrame();
    // The face part the verdict waits for, with the count of the frame it is
    // about; a null crop when it waits for none. Its answer is the save's
    // own encoding and face check of the crop, with the head.
    FaceRequest FaceToCheck() const;
    static UploadWork ComputeFacePart(const FaceRequest& request, Progress* progress = nullptr);
    // True when the answer counts: it is about the frame as it is now.
    bool AnswerFace(int generation, const UploadWork& work);
    const LiveVerdict& Verdict() const { return verdict_; }
    // A long step (reading, saving) starts and ends.
    void BeginStep();
    void EndStep();

    // Writes the prepared upload under the chosen name (".jpg" added where
    // needed), whole or not at all.
    static Result Save(const QString& chosenName, const QByteArray& jpeg);

    // The pixels of any rectangle of the working photo, as the crop samples
    // them; white where the rendering does not reach, null without a photo.
    QImage DrawWorkingPhoto(const QRect& region) const;

    const WorkingPhoto& Working() const { return working_; }
    QRect CropFrame() const;
    bool SliderEnabled() const { return sliderEnabled_; }
    const QImage& ResultPhoto() const { return FResult; }
    const QByteArray& SourceStream() const { return FSourceStream; }
    const photo::SourcePhoto* SourceJpeg() const { return FSourceJpeg.get(); }
    bool Dragging() const { return FDragging; }
    bool ColoredBackground() const { return FColoredBackground; }
    const QVector<QRect>& ReadFaces() const { return FReadFaces; }

private:
    void ApplyFraming(const Framing& plan);
    void SetWorkingPicture(const QImage& source, double scale);
    void ClearWorkingPicture();
    void CentreWhereItFits();
    QImage FramedPixels() const;
    // The pixels the frame would take at a scale and place of the photo.
    QImage FramedAt(double scale, QPoint place) const;
    // Where the photo goes at a scale for a wanted rectangle of the
    // rendering at (x, y): clamped to the drag limits, centred on the frame
    // where the rendering is smaller than it.
    QPoint Clamped(double scale, QPoint wanted) const;
    // The position among those whose rendering covers the frame (20 where
    // none does) at which `lengthAt(scale)` comes nearest `wanted`; a tie
    // keeps the smaller scale.
    int PositionNearest(const std::function<int(double scale)>& lengthAt, int wanted) const;
    // The read's largest face in the pixels the frame would take at a scale
    // and place.
    QRect FaceAt(double scale, QPoint place) const;
    // The head there, where the colours pass and it can be measured.
    std::optional<HeadMeasure> HeadAt(double scale, QPoint place) const;
    // The double-click's second framing, from the head the first one shows.
    Framing FramingByHead(const Framing& byFace, const HeadMeasure& head) const;

    // The fields carry the names the team uses when talking about the tool.
    QByteArray FSourceStream;
    std::shared_ptr<photo::SourcePhoto> FSourceJpeg;
    bool FDragging = false;
    int FDragX = 0;
    int FDragY = 0;
    // The count of changes when the mouse went down: a release counts as a
    // change only after a move.
    int changesAtPress_ = 0;
    QImage FResult;
    bool FColoredBackground = false;
    // The faces found when the photo was read; the save's re-check has its own.
    QVector<QRect> FReadFaces;
    QSize viewport_;
    WorkingPhoto working_;
    bool sliderEnabled_ = false;
    int frameChanges_ = 0;
    bool stepRunning_ = false;
    LiveVerdict verdict_;
};

}  // namespace workspace
