// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every text the user sees, in one place, and the message box that each
// outcome of the workspace puts up.
#include <QString>
#include <QStringList>

#include <exception>

#include "workspace/outcome.h"
#include "workspace/photo_workspace.h"

namespace texts {

// The product's name: window caption, application title and the caption of
// the general failure report.
inline const QString kAppTitle = QStringLiteral("报名照片制作 exam-photo");

// Window.
inline const QString kStatusPublisher = QStringLiteral("exam-photo 项目组发布 · 自由软件");
inline const QString kStatusDate = QStringLiteral("2015年5月");
inline const QString kZoomLabel = QStringLiteral("图像缩放");
inline const QString kResetLink = QStringLiteral("还原照片尺寸");
inline const QString kReadButton = QStringLiteral("读取照片");
inline const QString kSaveButton = QStringLiteral("另存为");
inline const QString kCropButton = QStringLiteral("裁剪");
inline const QString kExitButton = QStringLiteral("退出!");
inline const QString kFramingHint = QStringLiteral("双击照片可自动对齐人像");
inline const QString kResultPlaceholder = QStringLiteral("生成的标准照片");
inline const QString kRequirements = QStringLiteral(
    "裁剪后合格的照片要求为：\n"
    "1、无白色边框\n"
    "2、背景色为蓝、红或白色单色\n"
    "3、生成人像头部距离照片左、上、右距离大约为0.5cm");

// The live verdict on the frame, in the status bar.
inline const QString kVerdictPasses = QStringLiteral("相框内的照片能通过保存检查，可以裁剪");
// Where the head is measured: it sits well, or the side to name (one it
// touches, else the one furthest from its margin) is too close, too far or
// touched; top, left, right in that order. The window's line and the
// batch's reason say the same of it.
inline const QString kVerdictHeadFits = QStringLiteral("相框内的照片能通过保存检查，头部位置合适，可以裁剪");
inline const QString kVerdictHeadMisplaced = QStringLiteral("能通过保存检查，但%1（见橙线）");
inline const QString kHeadNear[3] = {QStringLiteral("头部离上边太近"), QStringLiteral("头部离左边太近"),
                                     QStringLiteral("头部离右边太近")};
inline const QString kHeadFar[3] = {QStringLiteral("头部离上边太远"), QStringLiteral("头部离左边太远"),
                                    QStringLiteral("头部离右边太远")};
inline const QString kHeadTouches[3] = {QStringLiteral("头部碰到了相框上边"), QStringLiteral("头部碰到了相框左边"),
                                        QStringLiteral("头部碰到了相框右边")};
// Where the head's outline cannot be told from the wall with confidence:
// the cause, never a guess.
inline const QString kVerdictHeadUnsure = QStringLiteral("能通过保存检查，但无法测量头部位置（%1），请目测");
inline const QString kHeadDoubtHair = QStringLiteral("头发与背景颜色相近");
inline const QString kHeadDoubtObject = QStringLiteral("头部旁有其他物体");
inline const QString kHeadDoubtNoTop = QStringLiteral("找不到头顶");
// What the person who reviews the photo refuses it for, as measured: the
// line ends with the first, the window lists them all. In this order.
inline const QString kFindingBlur = QStringLiteral("照片模糊");
inline const QString kFindingDark = QStringLiteral("脸部太暗");
inline const QString kFindingBright = QStringLiteral("脸部过亮");
inline const QString kFindingUneven = QStringLiteral("脸部光线不均");
inline const QString kFindingTilt = QStringLiteral("头部歪斜");
inline const QString kFindingShadow = QStringLiteral("背景有阴影");
inline const QString kFindingBusyWall = QStringLiteral("背景不是纯色");
inline const QString kHint = QStringLiteral("；提示：%1");
inline const QString kReviewNotes = QStringLiteral("审核提示：%1");
inline const QString kFindingSeparator = QStringLiteral("、");
// A wall that fails the background check where what it lacks is simply said.
inline const QString kVerdictGreyWall =
    QStringLiteral("背景偏灰，还不算白色（每种颜色需高于200），请在更亮处重拍（见红圈）");
inline const QString kVerdictPaleBlue = QStringLiteral("背景的蓝色太浅，还不算蓝色，请换深一些的蓝色背景（见红圈）");
inline const QString kVerdictPaleRed = QStringLiteral("背景的红色太浅，还不算红色，请换深一些的红色背景（见红圈）");
inline const QString kVerdictBackground = QStringLiteral("背景不是单一的蓝、红或白色（见红圈）");
inline const QString kVerdictBottomEdge = QStringLiteral("底边是白色：照片小于相框或有白色边框（见红圈）");
inline const QString kVerdictNoFace = QStringLiteral("相框内检测不到人像");
inline const QString kVerdictChecking = QStringLiteral("正在检测相框内的人像…");
inline const QString kVerdictColoursPass = QStringLiteral("相框内的背景和底边能通过保存检查（松开鼠标后检测人像）");
inline const QString kVerdictFaceFailed = QStringLiteral("无法检测相框内的人像：%1");
inline const QString kVerdictNoCascade = QStringLiteral("找不到人像检测文件，请重新安装本程序");
inline const QString kVerdictNoMemory = QStringLiteral("这台电脑的内存不够");
inline const QString kHintSeparator = QStringLiteral("　　");

// The verdict's line: its words, then the hints (the first finding, then
// the framing hint while faces are known). The lines from the whole one to
// the bare words, for a pane that cannot show them all: the framing hint
// gives way first, then the finding's.
QString VerdictLine(const workspace::LiveVerdict& verdict, bool facesKnown);
QStringList VerdictLines(const workspace::LiveVerdict& verdict, bool facesKnown);
// What a passing photo's measured head says.
QString HeadLine(const workspace::HeadMeasure& head);
// Why a head could not be measured.
QString DoubtText(workspace::HeadDoubt doubt);
// The verdict's findings, in their order: the reviewer's and the head's
// shadow; none before the face part has answered.
QStringList FindingWords(const workspace::LiveVerdict& verdict);
QStringList FindingWords(const std::optional<review::Findings>& findings, bool shadow);

// Why a photo a batch framed and saved needs a person: its head, then the
// reviewer's findings; empty when nothing does. The batch frames every head
// 0.5 cm in from the edges, so one left nearer an edge than the margins
// allow had no room in its photo.
QString SavedReason(const workspace::HeadFinding& head, const std::optional<review::Findings>& findings);

// Progress of a long step in the status bar.
inline const QString kReadingProgress = QStringLiteral("正在读取照片… %1%");
inline const QString kFacesProgress = QStringLiteral("正在检测人像…");
inline const QString kEncodingProgress = QStringLiteral("正在压缩照片…");

// The progress text of a long step.
QString ProgressText(const workspace::Progress& progress);

// Dialogs.
inline const QString kOpenTitle = QStringLiteral("打开照片源文件");
inline const QString kSaveTitle = QStringLiteral("保存照片上传文件为...");
inline const QString kJpegFilter = QStringLiteral("JPEG Image File (*.jpg)");
inline const QString kPreviewSize = QStringLiteral("%1 x %2 像素");

// Failures the general failure report shows.
inline const QString kCannotCreateFile = QStringLiteral("Cannot create file \"%1\". %2");
inline const QString kCannotWriteFile = QStringLiteral("Cannot write file \"%1\". %2");
inline const QString kJpegError = QStringLiteral("JPEG error #%1");
inline const QString kCascadeMissing = QStringLiteral("找不到人像检测文件“%1”，请重新安装本程序。");
inline const QString kOutOfMemory = QStringLiteral("照片太大，这台电脑的内存不够处理它。");
inline const QString kUnexpectedFailure = QStringLiteral("Unexpected failure");
inline const QString kUnexpectedFailureWith = QStringLiteral("Unexpected failure: %1");

// Icons of a message box.
constexpr int MB_ICONERROR = 16;
constexpr int MB_ICONINFORMATION = 64;

struct Message {
    QString text;
    QString caption;
    int icon = 0;
};

// The box for an outcome; an empty text means no box.
Message MessageFor(const workspace::Result& result);
// What an outcome says to the teacher who checks someone else's photo in a
// batch's report.
QString TeacherReason(const workspace::Result& result);

// What a failure says, for the general failure report, worded from the
// facts it carries; a plain word for anything unknown.
QString FailureText(const std::exception_ptr& failure);

// The failure report's text: a "." is appended when the text is not empty
// and its last character sorts after "." (a letter, a digit, any non-ASCII
// character but the ideographic full stop), so "JPEG error #42" reads
// "JPEG error #42." while a text ending in "!", ",", ")", "." or "。" stays
// as it is.
QString WithFullStop(const QString& message);

}  // namespace texts

// The batch's own words: beside these, in a table of their own.
#include "texts/batch_texts.h"
