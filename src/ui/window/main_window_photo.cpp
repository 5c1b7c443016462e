// The handlers of the photo workspace: reading a photo, zoom, drag, reset and
// crop. Each asks the workspace and shows what comes back.
#include <optional>

#include "ui/window/busy_cursor.h"
#include "ui/window/main_window.h"

void TForm1::RzBmpButton1Click() {
    Guarded([this] {
        const QString path = Dialogs->OpenPictureName(this);
        if (path.isEmpty())
            return;
        // Back to scale 1; a change re-zooms the previous photo.
        RzTrackBar1->SetPosition(0);
        workspace::ReadWork work;
        {
            BusyCursor busy;
            work = workspace::PhotoWorkspace::ComputeRead(path);
        }
        const workspace::Result result = Workspace->ApplyRead(std::move(work));
        RzTrackBar1->setEnabled(Workspace->SliderEnabled());
        ShowWorkingPhoto();
        ShowResultPhoto();
        ShowFramingHint();
        Tell(result);
    });
}

void TForm1::RzTrackBar1Change() {
    Guarded([this] {
        bool rendered = false;
        {
            // Only the first drawing of a photo decodes; later steps find the pixels.
            std::optional<BusyCursor> busy;
            if (Workspace->ZoomDecodes())
                busy.emplace();
            rendered = Workspace->Zoom(RzTrackBar1->Position());
        }
        if (!rendered)
            return;
        ShowWorkingPhoto();
        Image1->repaint();
        repaint();
    });
}

void TForm1::Label3Click() {
    Guarded([this] {
        if (Tell(Workspace->CheckReset()))
            return;
        // A change of position zooms once; the direct call zooms (again) and
        // re-centres also when the slider was at 0 already.
        RzTrackBar1->SetPosition(0);
        RzTrackBar1Change();
    });
}

void TForm1::Image1MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y) {
    Guarded([&] { Workspace->Press(x, y); });
}

void TForm1::Image1MouseMove(Qt::KeyboardModifiers, int x, int y) {
    Guarded([&] {
        Workspace->Move(x, y);
        ShowWorkingPhoto();
    });
}

void TForm1::Image1MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    Guarded([this] { Workspace->Release(); });
}

void TForm1::Image1DblClick() {
    Guarded([this] {
        if (!Workspace->CanFrame())
            return;
        // The slider runs the zoom as any change of position does.
        RzTrackBar1->SetPosition(Workspace->FramingPosition());
        Workspace->PlaceFace();
        ShowWorkingPhoto();
    });
}

void TForm1::RzBmpButton3Click() {
    Guarded([this] {
        if (Tell(Workspace->Crop()))
            return;
        ShowResultPhoto();
    });
}

void TForm1::ShowWorkingPhoto() {
    const workspace::WorkingPhoto& working = Workspace->Working();
    if (Image1->geometry() != working.geometry)
        Image1->setGeometry(working.geometry);
    Image1->update();
}

void TForm1::ShowResultPhoto() {
    const QImage& result = Workspace->ResultPhoto();
    if (result.isNull())
        Image2->ClearPicture();
    else
        Image2->SetPicture(result);
}

void TForm1::ShowFramingHint() {
    StatusBar1->SetPaneText(1, Workspace->ReadFaces().isEmpty() ? QString() : texts::kFramingHint);
}
