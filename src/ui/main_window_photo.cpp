// The photo workspace handlers: reading a photo, zoom, drag, reset and crop.
#include <QFile>
#include <QFileInfo>

#include <optional>
#include <stdexcept>

#include "face/face_check.h"
#include "photo/jpeg_decoder.h"
#include "ui/busy_cursor.h"
#include "ui/main_window.h"
#include "ui/photo_view.h"
#include "ui/picture_box.h"
#include "ui/zoom_slider.h"
#include "workspace/zoom.h"

namespace {

// Files of this size or less are refused as too small for a usable portrait.
constexpr qint64 kSmallestFile = 8192;
// No portrait comes near this; a larger file is not read into memory at all.
constexpr qint64 kLargestFile = qint64(1) << 30;

const QString kPleaseReadFirst = QStringLiteral("请先读取照片！");
const QString kErrorCaption = QStringLiteral("错误提示");

QByteArray ReadWholeFile(const QString& path) {
    // Only a regular file: a named pipe would block the window until some
    // other program writes to it, and a device such as /dev/zero never ends.
    if (!QFileInfo(path).isFile())
        throw std::runtime_error("\"" + path.toStdString() + "\" is not a file.");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("Cannot open file \"" + path.toStdString() + "\". " + file.errorString().toStdString());
    if (file.size() > kLargestFile)
        throw std::runtime_error("File \"" + path.toStdString() + "\" is too large.");
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw std::runtime_error("Cannot read file \"" + path.toStdString() + "\". " + file.errorString().toStdString());
    return bytes;
}

// Centres the working photo in each direction in which it fits the viewport;
// in the others it keeps its place.
void CentreWhereItFits(QWidget* photo, QSize viewport) {
    int left = photo->x();
    int top = photo->y();
    if (viewport.width() > photo->width())
        left = workspace::CentredOffset(viewport.width(), photo->width());
    if (viewport.height() > photo->height())
        top = workspace::CentredOffset(viewport.height(), photo->height());
    photo->move(left, top);
}

}  // namespace

void TForm1::RzBmpButton1Click() {
    Guarded([this] {
        try {
            // 1. The user chooses a file.
            const QString path = Dialogs->OpenPictureName(this);
            if (path.isEmpty())
                return;
            // 2. Back to scale 1; a change re-zooms the previous photo.
            RzTrackBar1->SetPosition(0);
            // 3. A fresh decoded-photo object.
            FSourceJpeg = std::make_shared<photo::SourcePhoto>();
            {
                BusyCursor busy;
                // 4. The whole file into memory, in place of the last one.
                FSourceStream.clear();
                FSourceStream = ReadWholeFile(path);
                // 5. Its header; a file that is not a JPEG fails here.
                FSourceJpeg->Load(FSourceStream);
            }
            // 6. Too small a file.
            if (FSourceStream.size() <= kSmallestFile) {
                MessageBox(QStringLiteral("原始照片不能小于8K或可能像素太低，请更换照片。"), QStringLiteral("提示"),
                           MB_ICONINFORMATION);
                return;
            }
            // 7. The result photo is emptied.
            Image2->ClearPicture();
            // 8. The photo at its natural size; the pixels are decoded here.
            {
                BusyCursor busy;
                Image1->SetPicture(FSourceJpeg->Pixels(), 1.0);
            }
            // 9. to 13. Placed in the viewport, slider enabled, shown.
            Image1->hide();
            CentreWhereItFits(Image1, ScrollBox1->size());
            RzTrackBar1->SetPosition(0);
            RzTrackBar1->setEnabled(true);
            Image1->show();
            // 14. The face check on the file itself.
            {
                BusyCursor busy;
                face::CountFaces(path);
            }
            // 15. No face: the photo is refused.
            if (face::FaceCount == 0) {
                MessageBox(QStringLiteral("请选择标准照照片！"), kErrorCaption, MB_ICONERROR);
                Image1->ClearPicture();
                FSourceJpeg.reset();
            }
        } catch (...) {
            MessageBox(QStringLiteral("照片不是JPG文件或格式错误，不能进行处理！"), QStringLiteral("提示"),
                       MB_ICONINFORMATION);
        }
    });
}

void TForm1::RzTrackBar1Change() {
    Guarded([this] {
        // 1. Render at the slider's scale.
        ZoomImage(workspace::ScaleForPosition(RzTrackBar1->Position()));
        // 2. Show it at once.
        Image1->repaint();
        // 3. and 4. Centre it where it fits.
        CentreWhereItFits(Image1, ScrollBox1->size());
        // 5. Repaint the window.
        repaint();
    });
}

void TForm1::ZoomImage(double scale) {
    if (!FSourceJpeg)
        return;
    // The rendering is a view of the decoded source at this scale; a source
    // that cannot be decoded leaves the working photo as it is, without a box.
    const QImage* pixels = nullptr;
    try {
        // Only the first drawing decodes; later slider steps find the pixels.
        std::optional<BusyCursor> busy;
        if (!FSourceJpeg->IsDecoded())
            busy.emplace();
        pixels = &FSourceJpeg->Pixels();
    } catch (const std::exception&) {
        return;
    }
    Image1->SetPicture(*pixels, scale);
}

void TForm1::Label3Click() {
    Guarded([this] {
        if (!Image1->HasPicture()) {
            MessageBox(kPleaseReadFirst, kErrorCaption, MB_ICONERROR);
            return;
        }
        // A change of position zooms once; the direct call zooms (again) and
        // re-centres also when the slider was at 0 already.
        RzTrackBar1->SetPosition(0);
        RzTrackBar1Change();
    });
}

void TForm1::Image1MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
    Guarded([&] {
        FDragging = true;
        FDragX = x;
        FDragY = y;
    });
}

void TForm1::Image1MouseMove(Qt::KeyboardModifiers, int x, int y) {
    Guarded([&] {
        if (!FDragging)
            return;
        // The limits keep the crop frame covered; they follow the current sizes.
        const QRect frame = workspace::CropFrame(ScrollBox1->size());
        const int frameRight = frame.left() + frame.width();
        const int frameBottom = frame.top() + frame.height();
        const int left = workspace::DragAxis(Image1->x(), x, FDragX, frameRight - Image1->width(), frame.left());
        const int top = workspace::DragAxis(Image1->y(), y, FDragY, frameBottom - Image1->height(), frame.top());
        Image1->move(left, top);
    });
}

void TForm1::Image1MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    Guarded([this] { FDragging = false; });
}

void TForm1::RzBmpButton3Click() {
    Guarded([this] {
        // 1. Nothing to crop.
        if (!Image1->HasPicture()) {
            MessageBox(kPleaseReadFirst, kErrorCaption, MB_ICONERROR);
            return;
        }
        // 2. and 3. The frame's corner in working-photo coordinates.
        const QRect frame = workspace::CropFrame(ScrollBox1->size());
        const QRect underFrame = frame.translated(-Image1->x(), -Image1->y());
        // 4. to 7. Exactly the pixels shown under the frame; white where the
        // photo does not cover it (also everywhere after a zoom to scale 0).
        Image2->SetPicture(workspace::RenderRegion(Image1->Source(), Image1->PictureSize(), underFrame));
    });
}
