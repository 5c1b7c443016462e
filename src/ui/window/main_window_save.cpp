// The save-as handler: the checks, the size-limited encoding with the face
// re-check on the very bytes that will be saved, and the tagged upload file.
#include "ui/window/busy_cursor.h"
#include "ui/window/main_window.h"

void TForm1::RzBmpBtnSaveClick() {
    Guarded([this] {
        workspace::Result prepared = Workspace->CheckResult();
        if (prepared.Passed()) {
            workspace::UploadWork work;
            {
                BusyCursor busy;
                work = workspace::PhotoWorkspace::ComputeUpload(Workspace->ResultPhoto());
            }
            prepared = Workspace->ApplyUpload(work);
        }
        ShowResultPhoto();
        if (Tell(prepared))
            return;
        const QString chosen = Dialogs->SavePictureName(this);
        if (chosen.isEmpty())
            return;
        workspace::Result saved;
        {
            BusyCursor busy;
            saved = workspace::PhotoWorkspace::Save(chosen, prepared.jpeg);
        }
        Tell(saved);
    });
}
