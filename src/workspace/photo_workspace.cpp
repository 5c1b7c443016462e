// SPDX-License-Identifier: GPL-3.0-or-later
#include "workspace/photo_workspace.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <new>
#include <future>

#include "export/acceptance.h"
#include "export/jpeg_encoder.h"
#include "export/upload_file.h"
#include "face/face_check.h"
#include "photo/file_reader.h"
#include "photo/jpeg_decoder.h"
#include "base/rounding.h"
#include "workspace/failure.h"
#include "workspace/zoom.h"

namespace workspace {

PhotoWorkspace::PhotoWorkspace(QSize viewport, QRect photoGeometry) : viewport_(viewport) {
    working_.geometry = photoGeometry;
}

PhotoWorkspace::~PhotoWorkspace() = default;

QRect PhotoWorkspace::CropFrame() const {
    return workspace::CropFrame(viewport_);
}

ReadWork PhotoWorkspace::ComputeRead(const QString& path, Progress* progress, const ReadPlan& plan) {
    Progress unused;
    if (!progress)
        progress = &unused;
    ReadWork work;
    work.jpeg = std::make_shared<photo::SourcePhoto>();
    // Each step that fails keeps what failed: the read tells most failures
    // as a file it cannot use, but not a broken install or a lack of memory.
    const auto stopAt = [&work](ReadWork::Stop stop) {
        work.stop = stop;
        work.failure = std::current_exception();
        return work;
    };
    try {
        work.bytes = photo::ReadWholeFile(path);
    } catch (...) {
        return stopAt(ReadWork::Stop::FileUnreadable);
    }
    // A file that is not a JPEG is refused before its size is looked at.
    try {
        work.jpeg->Load(work.bytes);
    } catch (...) {
        return stopAt(ReadWork::Stop::NotAJpeg);
    }
    if (work.bytes.size() <= kSmallestFile) {
        work.stop = ReadWork::Stop::TooSmall;
        return work;
    }
    if (plan.beforeDecode)
        plan.beforeDecode(work.jpeg->Header());
    // The face check decodes the same bytes its own way, beside the window's
    // decode or after it; the file is not read again, so both see the same
    // photo, turned by the orientation the header read once.
    auto faces = std::async(plan.faceBesideDecode ? std::launch::async : std::launch::deferred,
                            [bytes = work.bytes, header = work.jpeg->Header(), stop = &progress->stop] {
                                return face::CountFaces(bytes, header, face::ProgramFolder(), stop);
                            });
    try {
        progress->stage = Progress::Decoding;
        work.jpeg->Pixels(&progress->percent, &progress->stop);
    } catch (...) {
        // Nobody wants the face check's answer now: one running beside stops
        // too (the future's end waits for it), one still to come never runs.
        // The stop is the read's own only there: a batch shares its stop.
        if (plan.faceBesideDecode)
            progress->stop = true;
        return stopAt(ReadWork::Stop::Undecodable);
    }
    try {
        progress->stage = Progress::Faces;
        work.faceRects = faces.get();
    } catch (...) {
        return stopAt(ReadWork::Stop::FaceCheckFailed);
    }
    work.stop = ReadWork::Stop::Complete;
    return work;
}

namespace {

// A missing cascade would refuse every photo, a photo too large for the
// memory is no fault of its format, and OpenCV failing says nothing of the
// photo: these are told as they are, any other failure as a file the read
// cannot use.
Result ReadRefusal(const std::exception_ptr& failure) {
    if (CauseOf(failure).NotThePhotos())
        return {Outcome::Failure, {}, failure};
    return {Outcome::NotAJpeg};
}

}  // namespace

qint64 PhotoWorkspace::ReadBytes(const photo::JpegHeader& header) {
    const qint64 pixels = qint64(header.width) * header.height;
    return pixels * (header.grayscale ? 1 : 3) + face::CheckBytes(header);
}

Result PhotoWorkspace::ApplyRead(ReadWork work) {
    using Stop = ReadWork::Stop;
    ++frameChanges_;
    // Whatever stops the read, the refused file's bytes and its (perhaps
    // undecodable) photo stay: a later zoom renders them. The photo holds
    // the very bytes of the stream (one shared buffer), not a copy.
    FSourceJpeg = std::move(work.jpeg);
    FReadFaces.clear();
    FSourceStream = std::move(work.bytes);
    // A face check that OpenCV could not run leaves the window as the
    // refusals before the decode do, the previous photo on view or none.
    const bool detectorFailed =
        work.stop == Stop::FaceCheckFailed && CauseOf(work.failure).kind == FailureCause::Detector;
    if (work.stop == Stop::FileUnreadable || work.stop == Stop::NotAJpeg || detectorFailed)
        return ReadRefusal(work.failure);
    if (work.stop == Stop::TooSmall)
        return {Outcome::FileTooSmall};
    FResult = QImage();
    if (work.stop == Stop::Undecodable)
        return ReadRefusal(work.failure);

    SetWorkingPicture(FSourceJpeg->Pixels(), 1.0);
    CentreWhereItFits();
    sliderEnabled_ = true;
    // A failed face check leaves the photo shown, as it is by then.
    if (work.stop == Stop::FaceCheckFailed)
        return ReadRefusal(work.failure);
    if (work.faceRects.isEmpty())
        return {Outcome::NoFace};
    FReadFaces = std::move(work.faceRects);
    return {};
}

void PhotoWorkspace::DropFacelessPhoto() {
    ++frameChanges_;
    ClearWorkingPicture();
    FSourceJpeg.reset();
}

bool PhotoWorkspace::ZoomDecodes() const {
    return FSourceJpeg && !FSourceJpeg->IsDecoded();
}

bool PhotoWorkspace::Zoom(int position) {
    ++frameChanges_;
    if (FSourceJpeg) {
        try {
            SetWorkingPicture(FSourceJpeg->Pixels(), ScaleForPosition(position));
        } catch (const std::exception&) {
            return false;  // the photo stays where the user left it
        }
    }
    CentreWhereItFits();
    return true;
}

Result PhotoWorkspace::CheckReset() const {
    return working_.present ? Result{} : Result{Outcome::PleaseReadFirst};
}

bool PhotoWorkspace::CanFrame() const {
    return working_.present && FSourceJpeg && FSourceJpeg->IsDecoded() && !FReadFaces.isEmpty();
}

int PhotoWorkspace::PositionNearest(const std::function<int(double scale)>& lengthAt, int wanted) const {
    const QSize source = working_.source.size();
    int best = 20;
    int bestDistance = -1;
    // From the smallest scale up, so that a tie keeps the smaller one.
    for (int position = -20; position <= 20; ++position) {
        const double scale = ScaleForPosition(position);
        const QSize size = ScaledSize(source, scale);
        if (size.width() < kFrameWidth || size.height() < kFrameHeight)
            continue;
        const int distance = std::abs(lengthAt(scale) - wanted);
        if (bestDistance < 0 || distance < bestDistance) {
            best = position;
            bestDistance = distance;
        }
    }
    return best;
}

int PhotoWorkspace::FramingPosition() const {
    const int faceWidth = LargestFace(FReadFaces).width();
    return PositionNearest([faceWidth](double scale) { return ScaledLength(faceWidth, scale); }, kFrameWidth / 2);
}

QPoint PhotoWorkspace::Clamped(double scale, QPoint wanted) const {
    const QSize rendering = ScaledSize(working_.source.size(), scale);
    const QRect frame = CropFrame();
    // Each direction on its own: clamped to the drag limits where the photo
    // covers the frame, centred on the frame where it is smaller.
    const auto place = [](int wanted, int frameStart, int frameLength, int photoLength) {
        if (photoLength < frameLength)
            return frameStart + CentredOffset(frameLength, photoLength);
        return std::clamp(wanted, frameStart + frameLength - photoLength, frameStart);
    };
    return {place(wanted.x(), frame.left(), kFrameWidth, rendering.width()),
            place(wanted.y(), frame.top(), kFrameHeight, rendering.height())};
}

QImage PhotoWorkspace::FramedAt(double scale, QPoint place) const {
    return RenderRegion(working_.source, ScaledSize(working_.source.size(), scale), CropFrame().translated(-place));
}

QRect PhotoWorkspace::FaceAt(double scale, QPoint place) const {
    const QRect face = LargestFace(FReadFaces);
    const QPoint origin = CropFrame().topLeft() - place;
    return QRect(ScaledLength(face.left(), scale) - origin.x(), ScaledLength(face.top(), scale) - origin.y(),
                 ScaledLength(face.width(), scale), ScaledLength(face.height(), scale));
}

std::optional<HeadMeasure> PhotoWorkspace::HeadAt(double scale, QPoint place) const {
    const QImage framed = FramedAt(scale, place);
    bool coloured = false;
    if (JudgeColours(framed, coloured) != Outcome::Done)
        return std::nullopt;
    return MeasureHead(framed, FaceAt(scale, place)).measure;
}

Framing PhotoWorkspace::PlanFraming() const {
    const QRect face = LargestFace(FReadFaces);
    const QRect frame = CropFrame();
    Framing plan;
    plan.position = FramingPosition();
    const double scale = ScaleForPosition(plan.position);
    const int faceWidth = ScaledLength(face.width(), scale);
    plan.place = Clamped(scale, {frame.left() + CentredOffset(kFrameWidth, faceWidth) - ScaledLength(face.left(), scale),
                                 frame.top() + kFaceTop - ScaledLength(face.top(), scale)});
    // Then from the head, where that framing shows one. The face is the
    // read's, where the frame puts it: no face search on the way.
    const std::optional<HeadMeasure> head = HeadAt(scale, plan.place);
    return head ? FramingByHead(plan, *head) : plan;
}

Framing PhotoWorkspace::FramingByHead(const Framing& byFace, const HeadMeasure& head) const {
    // The head in that rendering's pixels, then at the scale that makes it
    // closest to the wanted width: centred across, its top at the margin.
    const QRect frame = CropFrame();
    const double scale = ScaleForPosition(byFace.position);
    const QPointF origin(frame.left() - byFace.place.x(), frame.top() - byFace.place.y());
    const double left = origin.x() + head.outline.left(), top = origin.y() + head.outline.top();
    const double width = head.outline.width();
    const auto rescaled = [scale](double length, double newScale) {
        return base::RoundHalfEven(length * newScale / scale);
    };
    Framing byHead;
    byHead.position = PositionNearest([&](double newScale) { return rescaled(width, newScale); }, kHeadWidthWanted);
    const double headScale = ScaleForPosition(byHead.position);
    const QPoint wanted(frame.left() + CentredOffset(kFrameWidth, rescaled(width, headScale)) - rescaled(left, headScale),
                  frame.top() + kHeadMargin - rescaled(top, headScale));
    byHead.place = Clamped(headScale, wanted);
    // Measured once more where it now is, and moved, not zoomed, to match.
    if (const std::optional<HeadMeasure> again = HeadAt(headScale, byHead.place)) {
        const int across = base::RoundHalfEven(
            (again->margin[HeadMeasure::Right] - again->margin[HeadMeasure::Left]) / 2.0);
        byHead.place = Clamped(headScale, byHead.place + QPoint(across, kHeadMargin - again->margin[HeadMeasure::Top]));
    }
    return byHead;
}

Framing PhotoWorkspace::FrameFace() {
    const Framing plan = PlanFraming();
    Zoom(plan.position);
    ApplyFraming(plan);
    return plan;
}

void PhotoWorkspace::ApplyFraming(const Framing& plan) {
    working_.geometry.moveTo(plan.place);
    FDragging = false;
    ++frameChanges_;
}

void PhotoWorkspace::Press(int x, int y) {
    FDragging = true;
    FDragX = x;
    FDragY = y;
    changesAtPress_ = frameChanges_;
}

void PhotoWorkspace::Move(int x, int y) {
    if (!FDragging)
        return;
    // The limits keep the crop frame covered; they follow the current sizes.
    const QRect frame = CropFrame();
    QRect& g = working_.geometry;
    const int left = DragAxis(g.left(), x, FDragX, frame.left() + frame.width() - g.width(), frame.left());
    const int top = DragAxis(g.top(), y, FDragY, frame.top() + frame.height() - g.height(), frame.top());
    g.moveTo(left, top);
    ++frameChanges_;
}

void PhotoWorkspace::Release() {
    // The mouse coming up asks for the face part the drag went without; a
    // click that moved nothing changed nothing.
    if (FDragging && frameChanges_ != changesAtPress_)
        ++frameChanges_;
    FDragging = false;
}

Result PhotoWorkspace::Crop() {
    if (!working_.present)
        return {Outcome::PleaseReadFirst};
    // Exactly the pixels shown under the frame; white where the photo does
    // not cover it (also everywhere after a zoom to scale 0).
    FResult = FramedPixels();
    return {};
}

QImage PhotoWorkspace::DrawWorkingPhoto(const QRect& region) const {
    if (!working_.present)
        return {};
    return RenderRegion(working_.source, working_.renderSize, region);
}

Outcome PhotoWorkspace::JudgeColours(const QImage& photo, bool& coloredBackground) {
    if (upload::CheckBackground(photo, coloredBackground) == 1)
        return Outcome::BadBackground;
    // Blue and red photos may end in a white shirt; only on white does a
    // bright bottom row mean the photo was too small or has a border.
    if (!coloredBackground && upload::CheckBottomEdge(photo) == 1)
        return Outcome::WhiteBottomEdge;
    return Outcome::Done;
}

Result PhotoWorkspace::CheckResult() {
    if (FResult.isNull())
        return {Outcome::NothingCropped};
    const Outcome outcome = JudgeColours(FResult, FColoredBackground);
    if (outcome != Outcome::Done)
        FResult = QImage();
    return {outcome};
}

QImage PhotoWorkspace::FramedPixels() const {
    return DrawWorkingPhoto(CropFrame().translated(-working_.geometry.topLeft()));
}

void PhotoWorkspace::JudgeFrame() {
    verdict_ = LiveVerdict();
    verdict_.generation = frameChanges_;
    verdict_.shown = working_.present && !stepRunning_;
    if (!verdict_.shown)
        return;
    // Exactly what a crop would take, judged as the save judges it, with a
    // flag of its own: nothing the save reads changes.
    const QImage framed = FramedPixels();
    bool coloured = false;
    verdict_.colour = JudgeColours(framed, coloured);
    if (verdict_.colour != Outcome::Done) {
        const QPoint corner = CropFrame().topLeft();
        const std::vector<QPoint> misfits = verdict_.colour == Outcome::BadBackground
                                                ? upload::BackgroundMisfits(framed)
                                                : upload::BottomEdgePoints(framed);
        if (verdict_.colour == Outcome::BadBackground)
            verdict_.wallMiss = review::WhatTheWallMisses(framed, misfits);
        for (const QPoint& p : misfits)
            verdict_.rings.push_back(corner + p);
        return;
    }
    // While the mouse is held the frame moves on before any answer could
    // come: the face part waits for the release.
    verdict_.face = FDragging ? LiveVerdict::Face::Unasked : LiveVerdict::Face::Checking;
}

FaceRequest PhotoWorkspace::FaceToCheck() const {
    if (VerdictStale() || verdict_.face != LiveVerdict::Face::Checking)
        return {verdict_.generation, {}};
    return {verdict_.generation, FramedPixels()};
}

void PhotoWorkspace::BeginStep() {
    stepRunning_ = true;
    ++frameChanges_;
}

void PhotoWorkspace::EndStep() {
    stepRunning_ = false;
    ++frameChanges_;
}

bool PhotoWorkspace::AnswerFace(int generation, const UploadWork& work) {
    // An answer about an earlier frame never replaces a newer verdict.
    if (generation != frameChanges_ || VerdictStale() || verdict_.face != LiveVerdict::Face::Checking)
        return false;
    verdict_.face = work.failure            ? LiveVerdict::Face::Failed
                    : work.faces.isEmpty() ? LiveVerdict::Face::Missing
                                           : LiveVerdict::Face::Found;
    verdict_.faceFailure = work.failure;
    verdict_.head = work.head;
    verdict_.findings = work.findings;
    return true;
}

UploadWork PhotoWorkspace::ComputeFacePart(const FaceRequest& request, Progress* progress) {
    // Asked only of a frame whose colours pass.
    return ComputeUpload(request.crop, progress, true);
}

UploadWork PhotoWorkspace::ComputeUpload(const QImage& result, Progress* progress, bool measureHead) {
    Progress unused;
    if (!progress)
        progress = &unused;
    UploadWork work;
    try {
        progress->stage = Progress::Encoding;
        work.jpeg = upload::EncodeWithinLimit(result, upload::kUploadLimit, upload::EncodeJpeg, &work.quality);
        progress->stage = Progress::Faces;
        JudgeUploadBytes(work, progress, measureHead);
    } catch (...) {
        work.failure = std::current_exception();
    }
    return work;
}

void PhotoWorkspace::JudgeUploadBytes(UploadWork& work, Progress* progress, bool measureHead) {
    // The face is looked for in exactly the bytes that will be saved, and
    // the head measured on what they show: the reviewer's photo.
    work.faces = face::CountFaces(work.jpeg, face::ProgramFolder(), progress ? &progress->stop : nullptr);
    if (!measureHead || work.faces.isEmpty())
        return;
    const QImage upload = photo::DecodeJpeg(work.jpeg, 1);
    const QRect face = LargestFace(work.faces);
    work.head = MeasureHead(upload, face);
    work.findings = review::Review(upload, face,
                                   work.head->measure ? std::optional<QRect>(work.head->measure->outline) : std::nullopt);
}

Result PhotoWorkspace::ApplyUpload(const UploadWork& work) {
    if (work.failure)
        return {Outcome::Failure, {}, work.failure};
    if (work.faces.isEmpty()) {
        FResult = QImage();
        return {Outcome::NoFaceInResult};
    }
    return {Outcome::Done, {}, {}, work.jpeg};
}

Result PhotoWorkspace::Save(const QString& chosenName, const QByteArray& jpeg) {
    const QString fileName = upload::WithJpgExtension(chosenName);
    try {
        upload::WriteUploadFile(fileName, jpeg);
    } catch (...) {
        return {Outcome::Failure, {}, std::current_exception()};
    }
    return {Outcome::Saved, fileName, {}};
}

void PhotoWorkspace::SetWorkingPicture(const QImage& source, double scale) {
    working_.present = true;
    working_.source = source;
    working_.scale = scale;
    working_.renderSize = ScaledSize(source.size(), scale);
    // An empty rendering keeps the control's size and place.
    if (!working_.renderSize.isEmpty())
        working_.geometry.setSize(working_.renderSize);
}

void PhotoWorkspace::ClearWorkingPicture() {
    working_.present = false;
    working_.source = QImage();
    working_.scale = 1.0;
    working_.renderSize = QSize(0, 0);
}

void PhotoWorkspace::CentreWhereItFits() {
    QRect& g = working_.geometry;
    if (viewport_.width() > g.width())
        g.moveLeft(CentredOffset(viewport_.width(), g.width()));
    if (viewport_.height() > g.height())
        g.moveTop(CentredOffset(viewport_.height(), g.height()));
}

}  // namespace workspace
