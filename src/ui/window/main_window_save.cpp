// SPDX-License-Identifier: GPL-3.0-or-later
// The save-as handler: the checks, the size-limited encoding with the face
// re-check on the very bytes that will be saved, and the tagged upload file.
#include "ui/window/busy_cursor.h"
#include "ui/window/main_window.h"

void TForm1::RzBmpBtnSaveClick() {
    Guarded([this] {
        if (Step->Running())
            return;
        const workspace::Result checked = Workspace->CheckResult();
        if (!checked.Passed()) {
            // The box first; the refused result photo goes once it is closed.
            Tell(checked);
            ShowResultPhoto();
            return;
        }
        // The worker encodes a copy of its own.
        auto work = std::make_shared<workspace::UploadWork>();
        auto progress = std::make_shared<workspace::Progress>();
        progress->stage = workspace::Progress::Encoding;
        RunStep(progress,
                [work, progress, result = Workspace->ResultPhoto().copy()] {
                    *work = workspace::PhotoWorkspace::ComputeUpload(result, progress.get());
                },
                [this, work] { SaveUpload(*work); });
    });
}

void TForm1::SaveUpload(const workspace::UploadWork& work) {
    Step->RethrowFailure();
    const workspace::Result prepared = Workspace->ApplyUpload(work);
    const bool refused = Tell(prepared);
    ShowResultPhoto();
    if (refused)
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
}
