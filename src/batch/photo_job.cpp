// SPDX-License-Identifier: GPL-3.0-or-later
#include "batch/photo_job.h"

#include <QPainter>

#include <algorithm>

#include "base/marks.h"
#include "export/jpeg_encoder.h"
#include "export/upload_file.h"
#include "photo/file_reader.h"
#include "photo/jpeg_decoder.h"
#include "texts/texts.h"
#include "workspace/failure.h"
#include "workspace/photo_workspace.h"
#include "workspace/zoom.h"

namespace batch {

namespace {

constexpr int kCardSide = 320;

// The photo as the window shows it now, small: the frame where it lies on
// the photo, with the marks the window would draw on it.
QByteArray Card(const workspace::PhotoWorkspace& ws, const QVector<base::MarkLine>& headLines) {
    const workspace::WorkingPhoto& working = ws.Working();
    if (!working.present || working.source.isNull() || working.scale <= 0)
        return {};
    const QSize source = working.source.size();
    const double fit = std::min({1.0, double(kCardSide) / source.width(), double(kCardSide) / source.height()});
    const QSize size = workspace::ScaledSize(source, fit).expandedTo(QSize(1, 1));
    QImage card = workspace::RenderRegion(working.source, size, QRect(QPoint(0, 0), size));
    // The viewport's points on the card: back to the source's pixels, then down to the card.
    QTransform toCard;
    toCard.scale(fit / working.scale, fit / working.scale);
    toCard.translate(-working.geometry.left(), -working.geometry.top());
    const QRect frame = ws.CropFrame();
    QVector<base::MarkLine> lines = headLines;
    for (const QLine& edge : {QLine(frame.topLeft(), frame.topRight()), QLine(frame.topRight(), frame.bottomRight()),
                              QLine(frame.bottomRight(), frame.bottomLeft()), QLine(frame.bottomLeft(), frame.topLeft())})
        lines.push_back({edge, base::MarkLine::Target});
    QPainter painter(&card);
    base::DrawMarks(painter, ws.Verdict().rings, lines, toCard);
    painter.end();
    return upload::EncodeJpeg(card, 85);
}

// A step refused the photo, or failed: it needs a person, told in the
// window's words. Without the cascade no photo could pass: that stops the
// run.
PhotoOutcome NotDone(PhotoOutcome out, const workspace::Result& result) {
    if (result.outcome == workspace::Outcome::Failure &&
        workspace::CauseOf(result.failure).kind == workspace::FailureCause::CascadeMissing)
        out.stopFailure = result.failure;
    out.result = PhotoOutcome::NeedsPerson;
    out.reason = texts::TeacherReason(result);
    return out;
}

// An upload file the system refused: a full disk or quota stops the run, as
// no other file would fare better; anything else (a name too long, a
// permission) is this photo's alone.
PhotoOutcome NotWritten(PhotoOutcome out, const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const upload::FileError& e) {
        if (!e.OutOfSpace()) {
            out.result = PhotoOutcome::NeedsPerson;
            out.reason = texts::kBatchCannotWrite.arg(e.path(), e.reason());
            return out;
        }
    } catch (...) {
    }
    out.stopFailure = failure;
    return out;
}

// The same, shown as the window shows the photo then.
PhotoOutcome Refused(const PhotoOutcome& out, const workspace::Result& result, const workspace::PhotoWorkspace& ws) {
    PhotoOutcome refused = NotDone(out, result);
    refused.picture = Card(ws, {});
    return refused;
}

// A saved photo whose head is misplaced or cannot be measured, or that a
// reviewer would refuse (a shadow, blur, light, a tilt, a busy wall),
// needs a person.
void JudgeSaved(PhotoOutcome& out, const workspace::UploadWork& work) {
    const std::optional<workspace::HeadFinding>& head = work.head;
    out.head = head ? head->measure : std::nullopt;
    out.findings = texts::FindingWords(work.findings, head && head->shadow);
    const QString reason = head ? texts::SavedReason(*head, work.findings) : QString();
    if (!reason.isEmpty()) {
        out.result = PhotoOutcome::NeedsPerson;
        out.reason = reason;
    }
}

// The card of a saved photo that needs a person: its head's lines where it
// was measured, else the ticks it aims at.
QVector<base::MarkLine> HeadMarks(const workspace::PhotoWorkspace& ws, const workspace::HeadFinding& head) {
    const QPoint corner = ws.CropFrame().topLeft();
    return head.measure ? workspace::HeadGuides(*head.measure, corner) : workspace::TargetTicks(corner);
}

// The photo down the road a user takes in the window: read, double-click,
// crop, save.
std::optional<PhotoOutcome> FollowTheRoad(const QString& path, const QString& uploadPath, MemoryGate& gate,
                                          workspace::Progress& control) {
    using workspace::PhotoWorkspace;
    // The memory is held for as long as the workspace holds the photo.
    MemoryHold memory(gate);
    PhotoOutcome out;
    PhotoWorkspace ws;

    // Read: one core a photo, the decode waiting for its memory.
    workspace::ReadPlan plan;
    plan.faceBesideDecode = false;
    plan.beforeDecode = [&](const photo::JpegHeader& header) {
        memory.Acquire(PhotoWorkspace::ReadBytes(header), control.stop);
    };
    workspace::ReadWork read = PhotoWorkspace::ComputeRead(path, &control, plan);
    if (control.stop)
        return std::nullopt;
    const workspace::Result readResult = ws.ApplyRead(std::move(read));
    if (!readResult.Passed())
        return Refused(out, readResult, ws);
    out.faceRead = true;

    // The double-click, then the crop; the verdict's rings for a card.
    ws.FrameFace();
    ws.JudgeFrame();
    ws.Crop();
    const workspace::Result checked = ws.CheckResult();
    if (!checked.Passed())
        return Refused(out, checked, ws);

    // Save: the encoding and its face check, then the tagged file.
    const workspace::UploadWork work = PhotoWorkspace::ComputeUpload(ws.ResultPhoto(), &control, true);
    if (control.stop)
        return std::nullopt;
    const workspace::Result prepared = ws.ApplyUpload(work);
    if (!prepared.Passed())
        return Refused(out, prepared, ws);
    const workspace::Result saved = PhotoWorkspace::Save(uploadPath, prepared.jpeg);
    if (saved.outcome == workspace::Outcome::Failure)
        return NotWritten(out, saved.failure);
    out.quality = work.quality;
    out.bytes = int(work.jpeg.size()) + upload::kTagLength;
    out.result = PhotoOutcome::Passed;
    out.picture = work.jpeg;
    JudgeSaved(out, work);
    if (out.result == PhotoOutcome::NeedsPerson)
        out.picture = Card(ws, HeadMarks(ws, *work.head));
    return out;
}

}  // namespace

std::optional<PhotoOutcome> WorkPhoto(const QString& path, const QString& uploadPath, MemoryGate& gate,
                                      workspace::Progress& control) {
    try {
        return FollowTheRoad(path, uploadPath, gate, control);
    } catch (...) {
        return NotDone({}, {workspace::Outcome::Failure, {}, std::current_exception()});
    }
}

PhotoOutcome KeptPhoto(const QByteArray& file) {
    PhotoOutcome out;
    out.result = PhotoOutcome::DoneBefore;
    out.faceRead = true;  // its photo was, to make it
    out.picture = file;
    out.bytes = int(file.size());
    // Judged as when it was made: the same code on the same bytes. Not
    // judged, not done: a failure is told as any photo's.
    workspace::UploadWork kept;
    kept.jpeg = file.chopped(upload::kTagLength);
    try {
        workspace::PhotoWorkspace::JudgeUploadBytes(kept, nullptr, true);
    } catch (...) {
        return NotDone(out, {workspace::Outcome::Failure, {}, std::current_exception()});
    }
    if (kept.faces.isEmpty())
        return NotDone(out, {workspace::Outcome::NoFaceInResult});
    JudgeSaved(out, kept);
    return out;
}

}  // namespace batch
