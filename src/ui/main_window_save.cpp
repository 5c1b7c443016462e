// The save-as handler: acceptance checks, size-limited encoding, the face
// re-check on the very bytes that will be saved, and the tagged upload file.
#include "export/acceptance.h"
#include "export/jpeg_encoder.h"
#include "export/upload_file.h"
#include "face/face_check.h"
#include "ui/busy_cursor.h"
#include "ui/main_window.h"
#include "ui/picture_box.h"

void TForm1::RzBmpBtnSaveClick() {
    Guarded([this] {
        const QString errorCaption = QStringLiteral("错误提示");
        // 1. Nothing cropped yet.
        if (!Image2->HasPicture()) {
            MessageBox(QStringLiteral("请先裁剪或压缩照片！"), errorCaption, MB_ICONERROR);
            return;
        }
        const QImage result = Image2->Picture();
        // 2. A background that is not plain blue, red or white.
        if (upload::CheckBackground(result, FColoredBackground) == 1) {
            MessageBox(QStringLiteral("照片不是标准照或背景颜色不是蓝、红或白色，不能保存！"), errorCaption,
                       MB_ICONERROR);
            Image2->ClearPicture();
            return;
        }
        // 3. On white, a plain bright white bottom edge: too small or framed.
        if (!FColoredBackground && upload::CheckBottomEdge(result) == 1) {
            MessageBox(QStringLiteral("照片太小或有白色边框，不能保存！"), errorCaption, MB_ICONERROR);
            Image2->ClearPicture();
            return;
        }
        // 4. to 7. Encode within the size limit and look for the face in
        // exactly those bytes, in memory.
        QByteArray jpeg;
        {
            BusyCursor busy;
            jpeg = upload::EncodeWithinLimit(result);
            face::CountFacesInJpeg(jpeg);
        }
        // 8. No face left in the encoded photo.
        if (face::FaceCount == 0) {
            MessageBox(QStringLiteral("请重新裁剪为标准照照片，不能保存！"), errorCaption, MB_ICONERROR);
            Image2->ClearPicture();
            return;
        }
        // 9. and 10. Where to save; the name always ends in a JPEG extension.
        const QString chosen = Dialogs->SavePictureName(this);
        if (chosen.isEmpty())
            return;
        const QString fileName = upload::WithJpgExtension(chosen);
        // 11. and 12. The encoded photo and its upload tag, written whole or not at all.
        {
            BusyCursor busy;
            upload::WriteUploadFile(fileName, jpeg);
        }
        // 13. Tell the user the file's full name.
        MessageBox(QStringLiteral("请注意：您生成的照片文件为：") + fileName, QStringLiteral("信息提示"),
                   MB_ICONINFORMATION);
    });
}
