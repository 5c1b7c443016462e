// SPDX-License-Identifier: GPL-3.0-or-later
// The handlers of the photo workspace: reading a photo, zoom, drag, reset and
// crop. Each asks the workspace and shows what comes back.
#include <algorithm>
#include <optional>

#include <QAccessible>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>

#include "ui/window/busy_cursor.h"
#include "ui/window/paint_once.h"
#include "ui/window/main_window.h"

void TForm1::RzBmpButton1Click() {
    Guarded([this] {
        const QString path = Dialogs->OpenPictureName(this);
        if (!path.isEmpty())
            ReadPhotoFile(path);
    });
}

void TForm1::ReadPhotoFile(const QString& path) {
    Guarded([&] {
        if (Step->Running())
            return;
        // Back to scale 1; a change re-zooms the previous photo.
        RzTrackBar1->SetPosition(0);
        auto work = std::make_shared<workspace::ReadWork>();
        auto progress = std::make_shared<workspace::Progress>();
        RunStep(progress, [work, progress, path] { *work = workspace::PhotoWorkspace::ComputeRead(path, progress.get()); },
                [this, work] {
                    Step->RethrowFailure();
                    const workspace::Result result = Workspace->ApplyRead(std::move(*work));
                    RzTrackBar1->setEnabled(Workspace->SliderEnabled());
                    ShowWorkingPhoto();
                    ShowResultPhoto();
                    Tell(result);
                    // A photo without a face is shown with its box, then taken away.
                    if (result.outcome == workspace::Outcome::NoFace) {
                        Workspace->DropFacelessPhoto();
                        ShowWorkingPhoto();
                    }
                });
    });
}

void TForm1::RzTrackBar1Change() {
    Guarded([this] {
        bool rendered = false;
        {
            // A read decodes its photo, but not one it refused for its size,
            // which a zoom then decodes first.
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
        if (!Workspace->Dragging())
            return;
        Workspace->Move(x, y);
        ShowWorkingPhoto();
    });
}

void TForm1::Image1MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
    Guarded([this] { Workspace->Release(); });
}

void TForm1::Image1DblClick(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
    // With nothing to frame the second press of a quick pair is a press
    // like any other, and starts a drag.
    if (button != Qt::LeftButton || !Workspace->CanFrame()) {
        Image1MouseDown(button, shift, x, y);
        return;
    }
    Guarded([this] {
        // The window shows the photo once, in its framed place; the slider
        // shows the zoom the framing chose.
        const PaintOnce paint(this);
        RzTrackBar1->ShowPosition(Workspace->FrameFace().position);
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

void TForm1::ShowVerdictLine() {
    const workspace::LiveVerdict& verdict = Workspace->Verdict();
    Marks->SetRings(verdict.rings);
    // The head's lines where it was measured, the ticks it aims at where it
    // could not be.
    const QPoint corner = Workspace->CropFrame().topLeft();
    QVector<base::MarkLine> lines;
    if (verdict.shown && verdict.head)
        lines = verdict.head->measure ? workspace::HeadGuides(*verdict.head->measure, corner)
                                      : workspace::TargetTicks(corner);
    Marks->SetLines(lines);
    // The pane shows the whole line where it fits, else the hints give way;
    // screen readers hear all of it as the status bar's name.
    const QStringList candidates = texts::VerdictLines(verdict, !Workspace->ReadFaces().isEmpty());
    const auto fits = std::find_if(candidates.begin(), candidates.end(),
                                   [this](const QString& text) { return StatusBar1->Fits(1, text); });
    StatusBar1->SetPaneText(1, fits != candidates.end() ? *fits : candidates.back());
    const QStringList findings = texts::FindingWords(verdict);
    const QString notes = findings.isEmpty() ? QString() : texts::kReviewNotes.arg(findings.join(texts::kFindingSeparator));
    ReviewNotes->setText(notes);
    ReviewNotes->setAccessibleName(notes);
    const QString line = candidates.front();
    if (StatusBar1->accessibleName() != line) {
        StatusBar1->setAccessibleName(line);
        QAccessibleEvent changed(StatusBar1, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
}

namespace {

// The first dropped item, when it is a local file that is not a folder.
QString DroppedFile(const QMimeData* data) {
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return {};
    const QString path = urls.first().toLocalFile();
    return QFileInfo(path).isDir() ? QString() : path;
}

}  // namespace

// While a dialog or a box is up, or a step runs, the window takes no drop:
// the user is answering something else.
QString TForm1::DropToRead(const QMimeData* data) const {
    if (QApplication::activeModalWidget() || Step->Running())
        return {};
    return DroppedFile(data);
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!DropToRead(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TForm1::dragMoveEvent(QDragMoveEvent* event) {
    if (!DropToRead(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QString path = DropToRead(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // Read once the drop is over, so that the program it came from is not
    // kept waiting while a box is up.
    QTimer::singleShot(0, this, [this, path] { ReadPhotoFile(path); });
}
