#pragma once
// The tool's one window. Controls and handlers carry the names the rest of the
// team uses when talking about the window (Image1 is the working photo,
// RzTrackBar1 the zoom slider, ...).
#include <QByteArray>
#include <QLabel>
#include <QPlainTextEdit>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "ui/bitmap_button.h"
#include "ui/frame_shape.h"
#include "ui/guide_line.h"
#include "ui/link_label.h"
#include "ui/photo_view.h"
#include "ui/picture_box.h"
#include "ui/status_panes.h"
#include "ui/user_dialogs.h"
#include "ui/zoom_slider.h"

namespace photo {
class SourcePhoto;
}

// The product's name: window caption, application title and the caption of
// the general failure report.
extern const QString kAppTitle;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    // `dialogs` asks the user for file names and shows message boxes; null
    // means the real Qt dialogs.
    explicit TForm1(std::unique_ptr<UserDialogs> dialogs = nullptr, QWidget* parent = nullptr);
    ~TForm1() override;

    // Flags of MessageBox.
    static constexpr int MB_ICONERROR = 16;
    static constexpr int MB_ICONINFORMATION = 64;
    void MessageBox(const QString& text, const QString& caption, int flags);

    // Event handlers.
    void FormCreate();
    void RzBmpButton1Click();  // read a photo
    void RzTrackBar1Change();  // zoom
    void Label3Click();        // reset the zoom
    void Image1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void Image1MouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void Image1MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void RzBmpButton3Click();  // crop
    void RzBmpBtnSaveClick();  // save as
    void RzBmpButton4Click();  // exit

    // Controls, public so that tests can use them the way a user does.
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

    // Workspace and export state.
    QByteArray FSourceStream;
    std::shared_ptr<photo::SourcePhoto> FSourceJpeg;
    bool FDragging = false;
    int FDragX = 0;
    int FDragY = 0;
    bool FColoredBackground = false;

private:
    void ZoomImage(double scale);
    // Runs a handler under the general failure report: an uncaught failure is
    // shown in a box and the window goes on.
    void Guarded(const std::function<void()>& handler);

    std::unique_ptr<UserDialogs> Dialogs;

    void BuildControls();
    void WireEvents();

    // The window tests reach the failure report through Guarded.
    friend class MainWindowTest;
    friend class RealDialogsTest;
};
