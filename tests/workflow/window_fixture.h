#pragma once
// A window with a scripted user, and the fixtures the workflow tests share.
#include <QFile>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "../ui/scripted_dialogs.h"
#include "photo/jpeg_decoder.h"
#include "ui/guide_line.h"
#include "ui/main_window.h"
#include "ui/photo_view.h"
#include "ui/picture_box.h"
#include "ui/zoom_slider.h"

inline QString Fixture(const QString& name) {
    return QStringLiteral(EXAM_TESTDATA_DIR "/") + name;
}

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The texts the user reads.
namespace texts {
const QString kNotJpeg = QStringLiteral("照片不是JPG文件或格式错误，不能进行处理！");
const QString kTooSmall = QStringLiteral("原始照片不能小于8K或可能像素太低，请更换照片。");
const QString kNoFace = QStringLiteral("请选择标准照照片！");
const QString kReadFirst = QStringLiteral("请先读取照片！");
const QString kCropFirst = QStringLiteral("请先裁剪或压缩照片！");
const QString kBadBackground = QStringLiteral("照片不是标准照或背景颜色不是蓝、红或白色，不能保存！");
const QString kWhiteBorder = QStringLiteral("照片太小或有白色边框，不能保存！");
const QString kNoFaceInSaved = QStringLiteral("请重新裁剪为标准照照片，不能保存！");
const QString kSaved = QStringLiteral("请注意：您生成的照片文件为：");
const QString kError = QStringLiteral("错误提示");
const QString kNotice = QStringLiteral("提示");
const QString kInformation = QStringLiteral("信息提示");
}  // namespace texts

// The window with a scripted user of type User (ScriptedDialogs or a
// variation of it).
template <typename User>
struct BasicWindowUnderTest {
    User* user = nullptr;  // owned by the window
    std::unique_ptr<TForm1> window;

    BasicWindowUnderTest() {
        auto dialogs = std::make_unique<User>();
        user = dialogs.get();
        window = std::make_unique<TForm1>(std::move(dialogs));
        window->show();
    }
    TForm1* operator->() const { return window.get(); }

    // Reads a photo through the read-photo button; returns the messages it showed.
    QVector<ScriptedDialogs::Message> Read(const QString& path) {
        user->messages.clear();
        user->openAnswers = {path};
        window->RzBmpButton1Click();
        return user->messages;
    }
    QVector<ScriptedDialogs::Message> Crop() {
        user->messages.clear();
        window->RzBmpButton3Click();
        return user->messages;
    }
    QVector<ScriptedDialogs::Message> Save(const QString& answer) {
        user->messages.clear();
        user->saveAnswers = answer.isNull() ? QStringList() : QStringList{answer};
        window->RzBmpBtnSaveClick();
        return user->messages;
    }
    QPoint PhotoPos() const { return window->Image1->pos(); }
    QSize PhotoSize() const { return window->Image1->size(); }
};

using WindowUnderTest = BasicWindowUnderTest<ScriptedDialogs>;

inline bool IsMessage(const QVector<ScriptedDialogs::Message>& shown, const QString& text, const QString& caption,
                      int flags) {
    return shown.size() == 1 && shown[0].text == text && shown[0].caption == caption && shown[0].flags == flags;
}

#define QVERIFY_MESSAGE(shown, wantText, wantCaption, wantFlags)                                         \
    QVERIFY2(IsMessage(shown, wantText, wantCaption, wantFlags),                                         \
             qPrintable(shown.isEmpty() ? QStringLiteral("no message")                                  \
                                        : QString("%1 messages, first: %2 / %3 / %4")                   \
                                              .arg(shown.size())                                         \
                                              .arg(shown[0].text, shown[0].caption)                      \
                                              .arg(shown[0].flags)))
