// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tool's one window. Controls and handlers carry the names the rest of the
// team uses when talking about the window (Image1 is the working photo,
// RzTrackBar1 the zoom slider, ...).
#include <QLabel>
#include <QPlainTextEdit>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

class QMimeData;

#include "texts/texts.h"

#include "ui/controls/bitmap_button.h"
#include "ui/controls/frame_marks.h"
#include "ui/controls/frame_shape.h"
#include "ui/controls/guide_line.h"
#include "ui/controls/link_label.h"
#include "ui/controls/photo_view.h"
#include "ui/controls/picture_box.h"
#include "ui/controls/status_panes.h"
#include "ui/window/face_verdicts.h"
#include "ui/window/long_step.h"
#include "ui/window/user_dialogs.h"
#include "workspace/photo_workspace.h"
#include "ui/controls/zoom_slider.h"

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // `dialogs` asks the user for file names and shows message boxes; null
    // means the real Qt dialogs.
    explicit TForm1(std::unique_ptr<UserDialogs> dialogs = nullptr, QWidget* parent = nullptr);
    ~TForm1() override;

    // Event handlers.
    void FormCreate();
    void RzBmpButton1Click();  // read a photo
    void RzTrackBar1Change();  // zoom
    void Label3Click();        // reset the zoom
    void Image1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void Image1MouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void Image1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void Image1DblClick(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);  // frame the face
    void RzBmpButton3Click();  // crop
    void RzBmpBtnSaveClick();  // save as
    void RzBmpButton4Click();  // exit

    // Reads a photo chosen outside the open dialog (command line, drop)
    // exactly as a chosen one.
    void ReadPhotoFile(const QString& path);
    // Where the save dialog starts (UserDialogs::SaveStart).
    QString SaveStart() const { return Dialogs->SaveStart(); }

    // The window's controls; each one's objectName is its name.
    QWidget* Panel6 = nullptr;
    PictureBox* Image3 = nullptr;  // banner
    StatusPanes* StatusBar1 = nullptr;
    QWidget* Panel2 = nullptr;
    QWidget* Panel3 = nullptr;
    QWidget* Panel7 = nullptr;
    BitmapButton* RzBmpButton1 = nullptr;
    QLabel* Label2 = nullptr;
    LinkLabel* Label3 = nullptr;
    ZoomSlider* RzTrackBar1 = nullptr;
    QWidget* ScrollBox1 = nullptr;
    PhotoView* Image1 = nullptr;
    FrameShape* Shape1 = nullptr;
    GuideLine* RzLine1 = nullptr;
    GuideLine* RzLine2 = nullptr;
    GuideLine* RzLine3 = nullptr;
    GuideLine* RzLine4 = nullptr;
    // Where the frame's photo fails the save's checks, and where its head sits.
    FrameMarks* Marks = nullptr;
    QWidget* Panel4 = nullptr;
    PictureBox* Image4 = nullptr;  // usage instructions
    FrameShape* Shape2 = nullptr;
    QWidget* Panel5 = nullptr;
    QLabel* Placeholder = nullptr;  // "生成的标准照片", seen while Image2 is empty
    PictureBox* Image2 = nullptr;   // result photo
    BitmapButton* RzBmpBtnSave = nullptr;
    BitmapButton* RzBmpButton3 = nullptr;
    BitmapButton* RzBmpButton4 = nullptr;
    QPlainTextEdit* RzRichEdit2 = nullptr;
    // What a reviewer would refuse the frame's photo for, once measured.
    QLabel* ReviewNotes = nullptr;

protected:
    // A local file dropped anywhere on the window is read; a folder or
    // anything else is refused before the drop.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildControls();
    void BuildZoomArea();
    void BuildViewport();
    void BuildResultArea();
    void BuildRequirements();
    void SetFocusOrder();
    void WireEvents();
    void NameControls();
    // Runs a handler under the general failure report: an uncaught failure is
    // shown in a box and the window goes on. Once the outermost handler is
    // done, the live verdict follows whatever it changed under the frame.
    void Guarded(const std::function<void()>& handler);
    // Puts up the box of an outcome, if it has one; true when it did.
    bool Tell(const workspace::Result& result);
    // Moves and repaints Image1 as the workspace has it.
    void ShowWorkingPhoto();
    void ShowResultPhoto();
    // Where the frame has changed since the verdict was worked out: works it
    // out afresh, sends its face part off, and shows it.
    void ShowVerdict();
    void ShowVerdictLine();
    // Runs a long step (reading, saving); `done` runs once it has ended.
    void RunStep(std::shared_ptr<workspace::Progress> progress, std::function<void()> work,
                 std::function<void()> done);
    void SaveUpload(const workspace::UploadWork& work);
    QString DropToRead(const QMimeData* data) const;

    std::unique_ptr<UserDialogs> Dialogs;
    // Runs reading and encoding off the window's thread.
    LongStep* Step = nullptr;
    // Works out the face part of the live verdict off the window's thread.
    FaceVerdicts* Verdicts = nullptr;
    // Made by FormCreate, once the viewport has its size.
    std::unique_ptr<workspace::PhotoWorkspace> Workspace;
    // Whether a handler runs: one handler can run inside another.
    bool InHandler = false;
};
