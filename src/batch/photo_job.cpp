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

// A step refused the photo: it needs a person, told in the window's words
// and shown as the window shows it then.
PhotoOutcome Refused(PhotoOutcome out, const workspace::Result& result, const workspace::PhotoWorkspace& ws) {
    // Without the cascade no photo could pass: that stops the run.
    if (result.outcome == workspace::Outcome::Failure &&
        workspace::CauseOf(result.failure).kind == workspace::FailureCause::CascadeMissing)
        out.stopFailure = result.failure;
    out.result = PhotoOutcome::NeedsPerson;
    out.reason = texts::MessageFor(result).text;
    out.picture = Card(ws, {});
    return out;
}

// A head that lies outside its margins needs a person, saved or not.
void JudgeHead(PhotoOutcome& out, const std::optional<workspace::HeadMeasure>& head) {
    out.head = head;
    if (head && !head->AllWithin()) {
        out.result = PhotoOutcome::NeedsPerson;
        out.reason = texts::kBatchHeadToCheck;
    }
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
    if (saved.outcome == workspace::Outcome::Failure) {
        out.stopFailure = saved.failure;
        return out;
    }
    out.quality = work.quality;
    out.bytes = int(work.jpeg.size());
    out.result = PhotoOutcome::Passed;
    out.picture = work.jpeg;
    JudgeHead(out, work.head);
    if (out.result == PhotoOutcome::NeedsPerson)
        out.picture = Card(ws, workspace::HeadGuides(*work.head, ws.CropFrame().topLeft()));
    return out;
}

}  // namespace

std::optional<PhotoOutcome> WorkPhoto(const QString& path, const QString& uploadPath, MemoryGate& gate,
                                      workspace::Progress& control) {
    try {
        return FollowTheRoad(path, uploadPath, gate, control);
    } catch (...) {
        PhotoOutcome out;
        out.reason = texts::MessageFor({workspace::Outcome::Failure, {}, std::current_exception()}).text;
        return out;
    }
}

std::optional<PhotoOutcome> KeptPhoto(const QString& uploadPath) {
    QByteArray file;
    try {
        file = photo::ReadWholeFile(uploadPath, 1 << 20);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (!upload::IsUploadFile(file))
        return std::nullopt;
    PhotoOutcome out;
    out.result = PhotoOutcome::DoneBefore;
    out.picture = file;
    try {
        const QImage photo = photo::DecodeJpeg(file);
        bool coloured = false;
        if (workspace::PhotoWorkspace::JudgeColours(photo, coloured) == workspace::Outcome::Done)
            JudgeHead(out, workspace::PhotoWorkspace::ComputeUpload(photo, nullptr, true).head);
    } catch (const std::exception&) {
        // Kept all the same: it was saved once it had passed every check.
    }
    return out;
}

}  // namespace batch
