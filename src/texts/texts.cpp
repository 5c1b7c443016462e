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

}  // namespace

QString VerdictLine(const workspace::LiveVerdict& verdict, bool facesKnown) {
    using Face = workspace::LiveVerdict::Face;
    if (!verdict.shown)
        return {};
    QString line;
    if (verdict.colour == workspace::Outcome::BadBackground)
        line = kVerdictBackground;
    else if (verdict.colour == workspace::Outcome::WhiteBottomEdge)
        line = kVerdictBottomEdge;
    else if (verdict.face == Face::Unasked)
        line = kVerdictColoursPass;
    else if (verdict.face == Face::Checking)
        line = kVerdictChecking;
    else if (verdict.face == Face::Missing)
        line = kVerdictNoFace;
    else if (verdict.face == Face::Failed)
        line = FaceFailureLine(verdict.faceFailure);
    else
        line = verdict.head ? HeadLine(*verdict.head) : kVerdictPasses;
    return facesKnown ? line + kHintSeparator + kFramingHint : line;
}

QString HeadLine(const workspace::HeadMeasure& head) {
    if (head.AllWithin())
        return kVerdictHeadFits;
    const workspace::HeadMeasure::Side side = head.Furthest();
    const int margin = head.margin[side];
    return margin == 0 ? kVerdictHeadTouches[side]
                       : margin < workspace::kHeadMarginLeast ? kVerdictHeadNear[side] : kVerdictHeadFar[side];
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
