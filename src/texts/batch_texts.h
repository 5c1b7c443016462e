// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every text of batch work, in one table beside the window's: the results
// and reasons of its report, worded for the teacher who checks a class's
// photos, the report, the batch window, and what the command line says.
#include <QString>

namespace texts {

// The command line's usage, for --help and a misuse.
inline constexpr const char* kUsage =
    "Usage: exam-photo [PHOTO.jpg]\n"
    "       exam-photo --batch [INPUT OUTPUT [--jobs N] [--redo] [--names FILE.csv]]\n"
    "\n"
    "With a photo, the window opens and reads it. With --batch, every photo under\n"
    "the folder INPUT is read, framed, checked and saved under OUTPUT as its upload\n"
    "photo, with a report of the ones that need a person (OUTPUT/批量处理报告.html\n"
    "and .csv); without folders a window asks for them. Files are told by their\n"
    "content: JPEG photos are worked on, photos in other formats need a person,\n"
    "other files (documents, spreadsheets) are listed and left alone. A photo whose\n"
    "upload file was made from the same bytes before is kept.\n"
    "  --jobs N         photos worked on at a time (default: one per core)\n"
    "  --redo           make every upload photo again (not those saved by hand)\n"
    "  --names FILE.csv a roster of two columns, photo and upload file name: the\n"
    "                   uploads are named so, at the top of OUTPUT\n"
    "Exit status of --batch: 0 every photo passed; 1 some photo needs a person or\n"
    "a roster row has no photo; 2 misuse (options, a roster that cannot be used),\n"
    "an input folder that cannot be read, an output folder that cannot be written\n"
    "or is full (disk or quota), or a missing face cascade; 130 interrupted.\n";

// Batch work: the results and reasons of its report, the report, the batch
// window, and what the command line says.
inline const QString kBatchReportName = QStringLiteral("批量处理报告");
inline const QString kBatchPassed = QStringLiteral("通过");
inline const QString kBatchNeedsPerson = QStringLiteral("需人工检查");
inline const QString kBatchDoneBefore = QStringLiteral("已处理过");
inline const QString kBatchHandSaved = QStringLiteral("已人工处理");
// A saved photo that needs a person for its head: misplaced (as the window
// names it), misplaced because the photo leaves no room to frame it, not
// measurable, or with a shadow beside it.
inline const QString kBatchHeadMisplaced = QStringLiteral("已保存，%1");
inline const QString kBatchNoRoom = QStringLiteral("已保存，照片中人像太大或太靠边，无法留出0.5cm，请重拍时离远一些");
inline const QString kBatchHeadUnsure = QStringLiteral("已保存，无法测量头部位置（%1）");
inline const QString kBatchFindings = QStringLiteral("已保存，审核提示：%1");
inline const QString kBatchFindingsToo = QStringLiteral("；审核提示：%1");
// A finding's column in the table, where the photo has it.
inline const QString kBatchFound = QStringLiteral("是");
inline const QString kBatchNameTaken = QStringLiteral("上传文件与另一张照片的同名：%1");
inline const QString kBatchCounts =
    QStringLiteral("共 %1 张照片：%2 张通过，%3 张需人工检查，%4 张已处理过，%5 张已人工处理");
inline const QString kBatchTime = QStringLiteral("用时 %1 秒");
inline const QString kBatchEmpty = QStringLiteral("照片文件夹中没有可处理的文件。");
inline const QString kBatchStopped = QStringLiteral("处理已中止，报告只包含已处理的照片。");
inline const QString kBatchCardsHeading = QStringLiteral("需人工检查的照片");
inline const QString kBatchPassedHeading = QStringLiteral("通过的照片");
inline const QString kBatchCsvHeader =
    QStringLiteral("文件,结果,原因,上传文件,质量,字节,上边距(像素),左边距(像素),右边距(像素)");
inline const QString kBatchWindowTitle = QStringLiteral("批量制作上传照片");
inline const QString kBatchInput = QStringLiteral("照片文件夹");
inline const QString kBatchOutput = QStringLiteral("保存到");
inline const QString kBatchChoose = QStringLiteral("选择…");
inline const QString kBatchStart = QStringLiteral("开始");
inline const QString kBatchStop = QStringLiteral("停止");
inline const QString kBatchOpenReport = QStringLiteral("打开报告");
inline const QString kBatchMissingFolders = QStringLiteral("请选择照片文件夹和保存到的文件夹。");
inline const QString kBatchNoInput = QStringLiteral("照片文件夹“%1”不存在或不是文件夹");
inline const QString kBatchOutputIsFile = QStringLiteral("保存到的“%1”是一个文件，不是文件夹");
inline const QString kBatchOutputHoldsInput = QStringLiteral("保存到的文件夹“%1”就是照片文件夹或包含它：照片文件夹不能写入");
inline const QString kBatchNoOutput = QStringLiteral("无法建立保存到的文件夹“%1”");
inline const QString kBatchBadJobs = QStringLiteral("--jobs 后面应是 1 到 256 之间的整数");
inline const QString kBatchWriteStopped = QStringLiteral("无法写入“%1”：%2；处理已停止");
inline const QString kBatchLine = QStringLiteral("%1/%2 %3% 每秒 %4 张 剩余 %5  %6");
inline const QString kBatchDone = QStringLiteral("%1；报告：%2");

// A photo's reason, worded for the person who checks someone else's photo,
// beside the window's message to its owner.
inline const QString kTeacherTooSmall = QStringLiteral("照片文件不到8KB，像素可能太低，请换一张照片");
inline const QString kTeacherNotAJpeg = QStringLiteral("照片不是能读取的JPG文件，或文件已损坏");
inline const QString kTeacherNoFace = QStringLiteral("照片中找不到正面人像");
inline const QString kTeacherBackground = QStringLiteral("框好后照片的背景不是单一的蓝、红或白色");
inline const QString kTeacherBottomEdge = QStringLiteral("框好后照片的底边是白色：照片太小或有白色边框");
inline const QString kTeacherNoFaceInResult = QStringLiteral("框好后的照片中找不到人像");
// Files told by their content, before any read.
inline const QString kBatchOtherFormat = QStringLiteral("照片是%1格式，请先转换为JPG");
inline const QString kBatchEmptyFile = QStringLiteral("文件是空的（0字节），请重新拷贝这张照片");
inline const QString kBatchUnknownPhoto =
    QStringLiteral("文件名是照片，但内容不是能识别的图片格式，请重新拷贝或导出这张照片");
inline const QString kBatchUnreadable = QStringLiteral("无法读取这个文件：%1");
inline const QString kBatchSkippedHeading = QStringLiteral("不是照片、已跳过的文件");
// An upload file's name that cannot be held where it goes.
inline const QString kNameEmpty = QStringLiteral("上传文件名是空的");
inline const QString kNameControl = QStringLiteral("上传文件名“%1”中有看不见的控制字符（%2），U盘上不能使用");
inline const QString kNameForbidden = QStringLiteral("上传文件名“%1”中有“%2”，U盘上的文件名不能有这个字符");
inline const QString kNameDotOrSpace = QStringLiteral("“%1”以点或空格结尾，拷到U盘上会变成另一个名字");
inline const QString kNameReserved = QStringLiteral("“%1”是Windows保留的设备名，在Windows电脑上打不开");
inline const QString kNameLongForUsb = QStringLiteral("上传文件名“%1”太长：U盘上的文件名最多%2个字符");
inline const QString kNameLongForOutput =
    QStringLiteral("上传文件名“%1”太长：保存到的文件夹最多允许%2个字节（一个汉字占3个字节）");
inline const QString kNamePathTooLong = QStringLiteral("上传文件的路径太长：最多%1个字节");
// One photo's write that failed: that photo needs a person, the run goes on.
inline const QString kBatchCannotWrite = QStringLiteral("无法写入上传文件“%1”：%2");
inline const QString kBatchCannotMakeFolder = QStringLiteral("无法建立文件夹“%1”");
// The roster.
inline const QString kBatchNotInRoster = QStringLiteral("名单中没有这张照片");
inline const QString kBatchRowWithoutPhoto = QStringLiteral("名单中有，但没有照片");
inline const QString kBatchRosterRow = QStringLiteral("名单第%1行：%2");
inline const QString kRosterMisuse = QStringLiteral("名单有误，未处理任何照片：");
inline const QString kRosterUnreadable = QStringLiteral("无法读取名单“%1”：%2");
inline const QString kRosterNotText =
    QStringLiteral("名单“%1”不是UTF-8或GB18030编码的CSV文件，请在表格软件中另存为CSV");
inline const QString kRosterMissingCell =
    QStringLiteral("名单第%1行只有一个名字：每行要有照片文件名和上传文件名两列");
inline const QString kRosterMangled = QStringLiteral(
    "名单第%1行的“%2”已被表格软件改坏（长数字变成了科学计数法或丢了末尾几位）。请把这一列设为“文本”格式，重新输入后保存");
inline const QString kRosterSameUpload =
    QStringLiteral("名单第%1行的上传文件名相同（不分大小写，U盘上会互相覆盖）：%2");
inline const QString kRosterPhotoTwice = QStringLiteral("名单第%1行都指向同一张照片“%2”");
inline const QString kRosterAmbiguous =
    QStringLiteral("名单第%1行的“%2”对应多张照片：%3。请写出文件夹，例如“一班/张三.jpg”");
// The output folder's record of what each upload was made from.
inline const QString kBatchLocked = QStringLiteral("另一个批量处理正在写入保存到的文件夹“%1”，请等它结束后再开始");
inline const QString kBatchNoJournal = QStringLiteral("无法在保存到的文件夹“%1”中记录处理进度：%2");
inline const QString kBatchOutputUnwritable = QStringLiteral("无法写入保存到的文件夹“%1”：%2");
// The report's links and lists.
inline const QString kBatchSource = QStringLiteral("原照片：");
inline const QString kBatchRowsHeading = QStringLiteral("名单中有，但没有照片的行");
// The batch window's list and options.
inline const QString kBatchRedo = QStringLiteral("全部重新制作（人工处理过的除外）");
inline const QString kBatchJobs = QStringLiteral("同时处理");
inline const QString kBatchRoster = QStringLiteral("名单（可选）");
inline const QString kBatchRosterFilter = QStringLiteral("CSV 名单 (*.csv *.CSV)");
inline const QString kBatchListHeader[3] = {QStringLiteral("文件"), QStringLiteral("结果"), QStringLiteral("原因")};
inline const QString kBatchOpenHint = QStringLiteral("双击需人工检查的照片，可在主窗口中手动裁剪并保存");

}  // namespace texts
