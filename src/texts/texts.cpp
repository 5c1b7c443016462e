// SPDX-License-Identifier: GPL-3.0-or-later
#include "texts/texts.h"

#include <QDir>

#include "workspace/failure.h"

namespace texts {

namespace {
const QString kError = QStringLiteral("错误提示");
const QString kNotice = QStringLiteral("提示");
const QString kInformation = QStringLiteral("信息提示");
}  // namespace

Message MessageFor(const workspace::Result& result) {
    using workspace::Outcome;
    switch (result.outcome) {
    case Outcome::Done:
        return {};
    case Outcome::PleaseReadFirst:
        return {QStringLiteral("请先读取照片！"), kError, MB_ICONERROR};
    case Outcome::FileTooSmall:
        return {QStringLiteral("原始照片不能小于8K或可能像素太低，请更换照片。"), kNotice, MB_ICONINFORMATION};
    case Outcome::NotAJpeg:
        return {QStringLiteral("照片不是JPG文件或格式错误，不能进行处理！"), kNotice, MB_ICONINFORMATION};
    case Outcome::NoFace:
        return {QStringLiteral("请选择标准照照片！"), kError, MB_ICONERROR};
    case Outcome::NothingCropped:
        return {QStringLiteral("请先裁剪或压缩照片！"), kError, MB_ICONERROR};
    case Outcome::BadBackground:
        return {QStringLiteral("照片不是标准照或背景颜色不是蓝、红或白色，不能保存！"), kError, MB_ICONERROR};
    case Outcome::WhiteBottomEdge:
        return {QStringLiteral("照片太小或有白色边框，不能保存！"), kError, MB_ICONERROR};
    case Outcome::NoFaceInResult:
        return {QStringLiteral("请重新裁剪为标准照照片，不能保存！"), kError, MB_ICONERROR};
    case Outcome::Saved:
        return {QStringLiteral("请注意：您生成的照片文件为：") + result.savedName, kInformation, MB_ICONINFORMATION};
    case Outcome::Failure:
        return {WithFullStop(FailureText(result.failure)), kAppTitle, MB_ICONERROR};
    }
    return {};
}

QString TeacherReason(const workspace::Result& result) {
    using workspace::Outcome;
    switch (result.outcome) {
    case Outcome::FileTooSmall:
        return kTeacherTooSmall;
    case Outcome::NotAJpeg:
        return kTeacherNotAJpeg;
    case Outcome::NoFace:
        return kTeacherNoFace;
    case Outcome::BadBackground:
        return kTeacherBackground;
    case Outcome::WhiteBottomEdge:
        return kTeacherBottomEdge;
    case Outcome::NoFaceInResult:
        return kTeacherNoFaceInResult;
    default:
        return MessageFor(result).text;
    }
}

namespace {

// What a face part that could not run says: the two causes a user can act on
// in words of their own, any other as the failure report words it.
QString FaceFailureLine(const std::exception_ptr& failure) {
    const workspace::FailureCause cause = workspace::CauseOf(failure);
    switch (cause.kind) {
    case workspace::FailureCause::CascadeMissing:
        return kVerdictFaceFailed.arg(kVerdictNoCascade);
    case workspace::FailureCause::NoMemory:
        return kVerdictFaceFailed.arg(kVerdictNoMemory);
    default:
        return kVerdictFaceFailed.arg(FailureText(failure));
    }
}

// A refused wall, with what it lacks where that is simply said.
QString WallWords(review::WallMiss miss) {
    switch (miss) {
    case review::WallMiss::GreyNotWhite:
        return kVerdictGreyWall;
    case review::WallMiss::BlueTooPale:
        return kVerdictPaleBlue;
    case review::WallMiss::RedTooPale:
        return kVerdictPaleRed;
    case review::WallMiss::None:
        break;
    }
    return kVerdictBackground;
}

// The verdict's own words, without its hints.
QString VerdictWords(const workspace::LiveVerdict& verdict) {
    using Face = workspace::LiveVerdict::Face;
    if (verdict.colour == workspace::Outcome::BadBackground)
        return WallWords(verdict.wallMiss);
    if (verdict.colour == workspace::Outcome::WhiteBottomEdge)
        return kVerdictBottomEdge;
    switch (verdict.face) {
    case Face::Unasked:
        return kVerdictColoursPass;
    case Face::Checking:
        return kVerdictChecking;
    case Face::Missing:
        return kVerdictNoFace;
    case Face::Failed:
        return FaceFailureLine(verdict.faceFailure);
    case Face::Found:
        break;
    }
    if (!verdict.head)
        return kVerdictPasses;
    if (verdict.head->measure)
        return HeadLine(*verdict.head->measure);
    return kVerdictHeadUnsure.arg(DoubtText(verdict.head->doubt));
}

}  // namespace

QStringList VerdictLines(const workspace::LiveVerdict& verdict, bool facesKnown) {
    if (!verdict.shown)
        return {QString()};
    const QString words = VerdictWords(verdict);
    const QStringList findings = FindingWords(verdict);
    const QString finding = findings.isEmpty() ? QString() : kHint.arg(findings.front());
    const QString framing = facesKnown ? kHintSeparator + kFramingHint : QString();
    QStringList lines{words + finding + framing, words + finding, words};
    lines.removeDuplicates();
    return lines;
}

QString VerdictLine(const workspace::LiveVerdict& verdict, bool facesKnown) {
    return VerdictLines(verdict, facesKnown).front();
}

namespace {

// The words for a misplaced head's side: one it touches, else too near or
// too far.
QString MisplacedWords(const workspace::HeadMeasure& head) {
    const workspace::HeadMeasure::Side side = head.Furthest();
    const int margin = head.margin[side];
    return margin == 0 ? kHeadTouches[side] : margin < workspace::kHeadMarginLeast ? kHeadNear[side] : kHeadFar[side];
}

}  // namespace

QString HeadLine(const workspace::HeadMeasure& head) {
    return head.AllWithin() ? kVerdictHeadFits : kVerdictHeadMisplaced.arg(MisplacedWords(head));
}

QString DoubtText(workspace::HeadDoubt doubt) {
    switch (doubt) {
    case workspace::HeadDoubt::HairLikeWall:
        return kHeadDoubtHair;
    case workspace::HeadDoubt::ObjectBeside:
        return kHeadDoubtObject;
    case workspace::HeadDoubt::NoTop:
    case workspace::HeadDoubt::None:
        break;
    }
    return kHeadDoubtNoTop;
}

QStringList FindingWords(const std::optional<review::Findings>& findings, bool shadow) {
    QStringList words;
    const auto told = [&words](bool found, const QString& word) {
        if (found)
            words << word;
    };
    if (findings) {
        told(findings->blurred, kFindingBlur);
        told(findings->tooDark, kFindingDark);
        told(findings->tooBright, kFindingBright);
        told(findings->unevenLight, kFindingUneven);
        told(findings->tilted, kFindingTilt);
    }
    told(shadow, kFindingShadow);
    told(findings && findings->busyWall, kFindingBusyWall);
    return words;
}

QStringList FindingWords(const workspace::LiveVerdict& verdict) {
    if (!verdict.shown || verdict.face != workspace::LiveVerdict::Face::Found)
        return {};
    return FindingWords(verdict.findings, verdict.head && verdict.head->shadow);
}

QString SavedReason(const workspace::HeadFinding& head, const std::optional<review::Findings>& findings) {
    QString reason;
    const auto tooNear = [&head](int side) { return head.measure->margin[side] < workspace::kHeadMarginLeast; };
    if (!head.measure)
        reason = kBatchHeadUnsure.arg(DoubtText(head.doubt));
    else if (tooNear(0) || tooNear(1) || tooNear(2))
        reason = kBatchNoRoom;
    else if (!head.measure->AllWithin())
        reason = kBatchHeadMisplaced.arg(MisplacedWords(*head.measure));
    const QString found = FindingWords(findings, head.shadow).join(kFindingSeparator);
    if (!found.isEmpty())
        reason = reason.isEmpty() ? kBatchFindings.arg(found) : reason + kBatchFindingsToo.arg(found);
    return reason;
}

QString ProgressText(const workspace::Progress& progress) {
    switch (progress.stage.load()) {
    case workspace::Progress::Reading:
    case workspace::Progress::Decoding:
        return kReadingProgress.arg(progress.percent.load());
    case workspace::Progress::Faces:
        return kFacesProgress;
    default:
        return kEncodingProgress;
    }
}

QString FailureText(const std::exception_ptr& failure) {
    using Kind = workspace::FailureCause::Kind;
    const workspace::FailureCause cause = workspace::CauseOf(failure);
    switch (cause.kind) {
    case Kind::NoMemory:
        return kOutOfMemory;
    case Kind::CascadeMissing:
        return kCascadeMissing.arg(QDir::toNativeSeparators(cause.path));
    case Kind::Codec:
        return kJpegError.arg(cause.code);
    case Kind::FileCreate:
        return kCannotCreateFile.arg(cause.path, cause.detail);
    case Kind::FileWrite:
        return kCannotWriteFile.arg(cause.path, cause.detail);
    case Kind::Detector:
        return kUnexpectedFailureWith.arg(cause.detail);
    case Kind::Other:
        break;
    }
    return kUnexpectedFailure;
}

QString WithFullStop(const QString& message) {
    if (message.isEmpty() || message.back().unicode() <= u'.' || message.back() == u'。')
        return message;
    return message + u'.';
}

}  // namespace texts
