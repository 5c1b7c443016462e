// SPDX-License-Identifier: GPL-3.0-or-later
#include "texts/texts.h"

#include <QDir>

#include <new>

#include "export/upload_file.h"
#include "face/face_check.h"
#include "photo/jpeg_error.h"

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

QString VerdictLine(const workspace::LiveVerdict& verdict, bool facesKnown) {
    using Face = workspace::LiveVerdict::Face;
    if (!verdict.shown)
        return {};
    QString line;
    if (verdict.colour == workspace::Outcome::BadBackground)
        line = kVerdictBackground;
    else if (verdict.colour == workspace::Outcome::WhiteBottomEdge)
        line = kVerdictBottomEdge;
    else if (verdict.face == Face::Checking)
        line = kVerdictChecking;
    else if (verdict.face == Face::Missing)
        line = kVerdictNoFace;
    else
        line = kVerdictPasses;  // a face check that failed leaves the colours' word
    return facesKnown ? line + kHintSeparator + kFramingHint : line;
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
    try {
        if (failure)
            std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    } catch (const face::CascadeMissing& e) {
        return kCascadeMissing.arg(QDir::toNativeSeparators(e.path()));
    } catch (const photo::JpegError& e) {
        return kJpegError.arg(e.code());
    } catch (const upload::FileError& e) {
        return (e.step() == upload::FileError::Step::Create ? kCannotCreateFile : kCannotWriteFile)
            .arg(e.path(), e.reason());
    } catch (...) {
    }
    return kUnexpectedFailure;
}

QString WithFullStop(const QString& message) {
    if (message.isEmpty() || message.back().unicode() <= u'.' || message.back() == u'。')
        return message;
    return message + u'.';
}

}  // namespace texts
