// Reading a photo through the window: each refusal's message and caption, and
// the state each outcome leaves behind.
#include <QtTest>

#include "face/detector.h"
#include "face/face_check.h"
#include "window_fixture.h"

class TestReadPhoto : public QObject {
    Q_OBJECT
private:
    QTemporaryDir scratch;

    QString Padded(const QString& name, int size) {
        QByteArray bytes = ReadBytes(Fixture("workflow/small.jpg"));
        bytes.append(QByteArray(size - bytes.size(), '\0'));
        const QString path = scratch.filePath(name);
        WriteBytes(path, bytes);
        return path;
    }

private slots:
    void cancelChangesNothing() {
        WindowUnderTest w;
        QVERIFY(w.Read(Fixture("workflow/studio_blue.jpg")).isEmpty());
        w->RzTrackBar1->SetPosition(5);
        const QSize size = w.PhotoSize();
        QVERIFY(w.Read(QString()).isEmpty());  // the dialog is cancelled
        QCOMPARE(w.user->openCount, 2);
        QCOMPARE(w->RzTrackBar1->Position(), 5);
        QCOMPARE(w.PhotoSize(), size);
    }

    void sizeTestAt8192Bytes() {
        WindowUnderTest w;
        const QString at = Padded("8192.jpg", 8192), over = Padded("8193.jpg", 8193);

        auto shown = w.Read(at);
        QVERIFY_MESSAGE(shown, texts::kTooSmall, texts::kNotice, 64);
        QCOMPARE(w->FSourceStream.size(), 8192);
        QVERIFY(w->FSourceJpeg && w->FSourceJpeg->HasHeader());  // a later zoom renders the refused file
        QVERIFY(!w->Image1->HasPicture());
        QVERIFY(!w->RzTrackBar1->isEnabled());

        shown = w.Read(over);  // passes the size test: decoded, shown, then the face check
        QVERIFY(shown.isEmpty() || shown[0].text != texts::kTooSmall);
        QVERIFY(w->RzTrackBar1->isEnabled());
        QCOMPARE(w->FSourceStream.size(), 8193);
    }

    void sizeRefusalLeavesTheWorkingPhoto() {
        WindowUnderTest w;
        QVERIFY(w.Read(Fixture("workflow/studio_blue.jpg")).isEmpty());
        QVERIFY(w.Crop().isEmpty());
        w->RzTrackBar1->SetPosition(-10);
        const QSize zoomed = w.PhotoSize();
        QVERIFY_MESSAGE(w.Read(Padded("small.jpg", 5000)), texts::kTooSmall, texts::kNotice, 64);
        // The slider went back to 0 (re-rendering the old photo), nothing else changed.
        QCOMPARE(w->RzTrackBar1->Position(), 0);
        QCOMPARE(w.PhotoSize(), QSize(300, 400));
        QVERIFY(zoomed != w.PhotoSize());
        QVERIFY(w->Image2->HasPicture());
        // A zoom now renders the refused 64 x 64 file.
        w->RzTrackBar1->SetPosition(20);
        QCOMPARE(w->Image1->PictureSize(), QSize(128, 128));
    }

    void notAJpegWhateverItsSize() {
        const QString files[] = {Fixture("workflow/not_a_jpeg.jpg"), Fixture("workflow/small_not_a_jpeg.jpg"),
                                 scratch.filePath("does not exist.jpg")};
        for (const QString& path : files) {
            WindowUnderTest w;
            QVERIFY(w.Read(Fixture("workflow/studio_blue.jpg")).isEmpty());
            QVERIFY(w.Crop().isEmpty());
            w->RzTrackBar1->SetPosition(3);
            QVERIFY_MESSAGE(w.Read(path), texts::kNotJpeg, texts::kNotice, 64);
            QCOMPARE(w->RzTrackBar1->Position(), 0);
            QVERIFY(w->Image1->HasPicture());  // the old photo stays on view
            QVERIFY(w->Image2->HasPicture());
            QVERIFY(w->FSourceJpeg && !w->FSourceJpeg->HasHeader());
            // A zoom of an undecodable source changes nothing and says nothing.
            w.user->messages.clear();
            w->RzTrackBar1->SetPosition(10);
            QVERIFY(w.user->messages.isEmpty());
            QCOMPARE(w.PhotoSize(), QSize(300, 400));
        }
    }

    void placementInTheViewport() {
        WindowUnderTest w;
        // 241 x 250 fits both ways: left round(0.5) = 0, top round(29.5) = 30.
        QVERIFY(w.Read(Fixture("workflow/portrait_241x250.jpg")).isEmpty());
        QCOMPARE(QRect(w.PhotoPos(), w.PhotoSize()), QRect(0, 30, 241, 250));
        QCOMPARE(w->RzTrackBar1->Position(), 0);
        QVERIFY(w->RzTrackBar1->isEnabled());

        // Larger than the viewport right after start: the layout's place.
        WindowUnderTest fresh;
        QVERIFY(fresh.Read(Fixture("workflow/portrait_400x500.jpg")).isEmpty());
        QCOMPARE(QRect(fresh.PhotoPos(), fresh.PhotoSize()), QRect(8, 0, 400, 500));

        // After a dragged photo: where that photo was dragged.
        fresh->Image1MouseDown(Qt::LeftButton, {}, 100, 100);
        fresh->Image1MouseMove({}, 60, 50);
        fresh->Image1MouseUp(Qt::LeftButton, {}, 60, 50);
        QCOMPARE(fresh.PhotoPos(), QPoint(-32, -50));
        QVERIFY(fresh.Read(Fixture("workflow/studio_blue.jpg")).isEmpty());
        QCOMPARE(QRect(fresh.PhotoPos(), fresh.PhotoSize()), QRect(-32, -50, 300, 400));
    }

    void noFaceRefusesThePhoto() {
        WindowUnderTest w;
        QVERIFY(w.Read(Fixture("workflow/studio_blue.jpg")).isEmpty());
        QVERIFY(w.Crop().isEmpty());
        bool shownWhileAsked = false;
        w.user->onMessage = [&](const ScriptedDialogs::Message&) { shownWhileAsked = w->Image1->HasPicture(); };
        QVERIFY_MESSAGE(w.Read(Fixture("workflow/no_face.jpg")), texts::kNoFace, texts::kError, 16);
        w.user->onMessage = nullptr;
        QVERIFY(shownWhileAsked);
        QVERIFY(!w->Image1->HasPicture());
        QCOMPARE(w.PhotoSize(), QSize(240, 240));  // keeps its size and place
        QVERIFY(!w->FSourceJpeg);
        QVERIFY(!w->Image2->HasPicture());
        QVERIFY(w->RzTrackBar1->isEnabled());
        QCOMPARE(w->RzTrackBar1->Position(), 0);
        // Reset and crop now ask for a photo first.
        w.user->messages.clear();
        w->Label3Click();
        QVERIFY_MESSAGE(w.user->messages, texts::kReadFirst, texts::kError, 16);
        QVERIFY_MESSAGE(w.Crop(), texts::kReadFirst, texts::kError, 16);
        // A zoom without a source renders nothing and says nothing.
        w.user->messages.clear();
        w->RzTrackBar1->SetPosition(7);
        QVERIFY(w.user->messages.isEmpty());
        QVERIFY(!w->Image1->HasPicture());
    }

    void missingCascadeAfterThePhotoIsShown() {
        const QString cascade = face::ProgramFolder() + QLatin1String(face::kCascadeFileName);
        const QString away = cascade + QStringLiteral(".away");
        QVERIFY(QFile::rename(cascade, away));
        face::FaceCascade.reset();
        WindowUnderTest w;
        const auto shown = w.Read(Fixture("workflow/studio_blue.jpg"));
        QVERIFY(QFile::rename(away, cascade));
        QVERIFY_MESSAGE(shown, texts::kNotJpeg, texts::kNotice, 64);
        QVERIFY(w->Image1->HasPicture());
        QCOMPARE(w.PhotoSize(), QSize(300, 400));
        QVERIFY(w->RzTrackBar1->isEnabled());
        // Put back, the next read works without a restart.
        QVERIFY(w.Read(Fixture("workflow/studio_blue.jpg")).isEmpty());
    }

    void phoneAndPrintPhotos() {
        WindowUnderTest w;
        // Stored sideways with an orientation tag: shown upright, face found.
        QVERIFY(w.Read(Fixture("face/sideways_exif8.jpg")).isEmpty());
        const QImage upright = QImage(Fixture("face/portrait.jpg")).convertToFormat(QImage::Format_RGB888);
        const QImage shown = w->Image1->Source().convertToFormat(QImage::Format_RGB888);
        QCOMPARE(shown.size(), upright.size());
        qint64 difference = 0;
        for (int y = 0; y < shown.height(); y += 4)
            for (int x = 0; x < shown.width(); x += 4)
                difference += qAbs(qGray(shown.pixel(x, y)) - qGray(upright.pixel(x, y)));
        QVERIFY2(difference / (64 * 64) < 12, qPrintable(QString::number(difference / (64 * 64))));

        // Four components (CMYK): decoded to colour and shown, then the face check answers.
        QImage seen;
        w.user->onMessage = [&](const ScriptedDialogs::Message&) { seen = w->Image1->Source(); };
        const auto messages = w.Read(Fixture("photo/cmyk.jpg"));
        w.user->onMessage = nullptr;
        if (seen.isNull())
            seen = w->Image1->Source();
        QVERIFY(messages.isEmpty() || messages[0].text == texts::kNoFace);
        QCOMPARE(seen.size(), QSize(70, 90));
        QCOMPARE(seen.format(), QImage::Format_RGB888);
    }

    void screenShowsTheDecodedPixels() {
        WindowUnderTest w;
        QVERIFY(w.Read(Fixture("workflow/portrait_241x250.jpg")).isEmpty());
        const QImage decoded = photo::DecodeJpeg(ReadBytes(Fixture("workflow/portrait_241x250.jpg")));
        for (GuideLine* line : {w->RzLine1, w->RzLine2, w->RzLine3, w->RzLine4})
            line->hide();
        const QImage screen = w->ScrollBox1->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QPoint at = w.PhotoPos();
        int compared = 0;
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x) {
                const QPoint p(x - at.x(), y - at.y());
                if (!decoded.rect().contains(p))
                    continue;
                ++compared;
                if (QColor(screen.pixel(x, y)) != QColor(decoded.pixel(p)))
                    QFAIL(qPrintable(QString("screen (%1, %2) differs").arg(x).arg(y)));
            }
        QCOMPARE(compared, 241 * 250);
    }
};

QTEST_MAIN(TestReadPhoto)
#include "test_read_photo.moc"
