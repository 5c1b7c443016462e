// SPDX-License-Identifier: GPL-3.0-or-later
// The reviewer's eye on generated and real portraits, each saved and decoded
// as the save does, its face found by the face check.
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

#include "export/acceptance.h"
#include "face/eye_check.h"
#include "review/review.h"
#include "review_portraits.h"

using namespace portraits;
using review::WallMiss;
Q_DECLARE_METATYPE(WallMiss)

namespace {

QString Folder() {
    return QCoreApplication::applicationDirPath();
}

struct Saved {
    QImage photo;
    QRect face;
};

// The photo as the save writes it, and the largest face the check finds there.
Saved Save(const QImage& photo) {
    const QByteArray bytes = upload::EncodeWithinLimit(photo);
    const QVector<QRect> faces = face::CountFaces(bytes, Folder());
    const auto largest = std::max_element(faces.begin(), faces.end(),
                                          [](const QRect& a, const QRect& b) { return a.width() < b.width(); });
    return {photo::DecodeJpeg(bytes), largest == faces.end() ? QRect() : *largest};
}

QStringList Told(const review::Findings& f) {
    QStringList told;
    const std::pair<bool, const char*> all[] = {{f.blurred, "blurred"},        {f.tooDark, "too dark"},
                                                {f.tooBright, "too bright"},   {f.unevenLight, "uneven light"},
                                                {f.tilted, "tilted"},          {f.busyWall, "busy wall"}};
    for (const auto& [found, name] : all)
        if (found)
            told << QLatin1String(name);
    return told;
}

QImage Real() {
    return QImage(QStringLiteral(EXAM_TESTDATA_DIR "/face/portrait.jpg"));
}
const QRect kRealFace(88, 33, 50, 50);

}  // namespace

class TestReview : public QObject {
    Q_OBJECT
private slots:
    // Each degraded portrait is told its finding and no other; every clean
    // one, dark and light skin, grain, gradients and shadows, none. The
    // wall's miss is what the background check's failing points lack.
    void findings_data() {
        QTest::addColumn<QImage>("photo");
        QTest::addColumn<bool>("outlined");  // the head's outline known, as framed
        QTest::addColumn<QStringList>("told");
        QTest::addColumn<WallMiss>("miss");
        const QImage white = OnWall(Plain(heads::kWhite));
        const auto row = [](const char* name, const QImage& photo, bool outlined, QStringList told,
                            WallMiss miss = WallMiss::None) {
            QTest::newRow(name) << photo << outlined << told << miss;
        };
        row("sharp, white wall", white, true, {});
        row("phone grain, red wall", Grainy(OnWall(Plain(heads::kRed)), 6), true, {});
        row("blurred 0.8 px, blue wall", Blurred(OnWall(Plain(heads::kBlue)), 0.8), true, {});
        row("blurred 2.5 px", Blurred(white, 2.5), true, {"blurred"});
        row("light halved", Lit(white, [](int) { return 0.5; }), true, {"too dark"});
        row("darker skin, red wall", OnWall(Plain(heads::kRed), 0.45), true, {});
        row("darkest skin, white wall", OnWall(Plain(heads::kWhite), 0.3), true, {});
        row("brightened until the cheeks clip", Lit(white, [](int) { return 1.6; }), true, {"too bright"});
        row("one side at half the light", Lit(white, [](int x) { return 0.7 + 0.3 / (1 + std::exp((x - 100) / 6.0)); }),
            true, {"uneven light"});
        row("blond hair on white, head 152 wide, not outlined",
            heads::MakePortrait(kUpload, 100, 40, 152, heads::kBlondOnWhite).photo, false, {});
        row("tilted 4 degrees", Tilted(4, heads::kWhite), false, {});
        row("tilted 12 degrees", Tilted(12, heads::kBlue), false, {"tilted"});
        row("stripes", OnWall(Stripes), true, {"busy wall"});
        row("flag beside the head", OnWall(Flag), true, {"busy wall"});
        row("shelf close beside the head", OnWall(Shelf), true, {"busy wall"});
        row("sky over fields", OnWall(Landscape), true, {"busy wall"});
        row("gradient of 60 levels", OnWall(Graded), true, {}, WallMiss::GreyNotWhite);
        row("soft shadow", OnWall(Shadowed), true, {});
        row("light grey wall at 190", OnWall(Plain(qRgb(190, 190, 190))), true, {}, WallMiss::GreyNotWhite);
        row("white wall at 230", OnWall(Plain(qRgb(230, 230, 230))), true, {});
        row("pale blue wall", OnWall(Plain(qRgb(185, 215, 245))), true, {}, WallMiss::BlueTooPale);
        row("pale pink wall", OnWall(Plain(qRgb(240, 170, 170))), true, {}, WallMiss::RedTooPale);
        row("real: before a light grey backdrop", Framed(Real(), kRealFace, 85), false, {}, WallMiss::GreyNotWhite);
        row("real: before her flag", Framed(Real(), kRealFace, 55), false, {"busy wall"});
    }
    void findings() {
        QFETCH(QImage, photo);
        QFETCH(bool, outlined);
        QFETCH(QStringList, told);
        QFETCH(WallMiss, miss);
        const Saved saved = Save(photo);
        QVERIFY(!saved.face.isEmpty());
        const review::Findings f =
            review::Review(saved.photo, saved.face, outlined ? std::optional(kHead) : std::nullopt, Folder());
        QCOMPARE(Told(f), told);
        QCOMPARE(review::WhatTheWallMisses(saved.photo, upload::BackgroundMisfits(saved.photo)), miss);
    }

    // Where the eyes are not both found, the tilt is not measured, so neither
    // a tilt nor a level head is told.
    void tiltUnknownWithoutEyes() {
        const Saved saved = Save(WithSunglasses(OnWall(Plain(heads::kWhite))));
        const review::Findings f = review::Review(saved.photo, saved.face, kHead, Folder());
        QVERIFY(std::isnan(f.tiltDegrees));
        QVERIFY(!f.tilted);
    }

    // The eye cascade missing is a broken install, told with its path as the
    // face cascade's is; put back, it is found without a restart.
    void eyeCascadeMissing() {
        const Saved saved = Save(OnWall(Plain(heads::kWhite)));
        QTemporaryDir dir;
        const QString path = dir.filePath(QLatin1String(face::kEyeCascadeFileName));
        face::ForgetEyeCascade();
        try {
            review::Review(saved.photo, saved.face, kHead, dir.path());
            QFAIL("the missing cascade was not told");
        } catch (const face::CascadeMissing& e) {
            QCOMPARE(e.path(), path);
        }
        QVERIFY(QFile::copy(Folder() + QLatin1Char('/') + face::kEyeCascadeFileName, path));
        QVERIFY(!std::isnan(review::Review(saved.photo, saved.face, kHead, dir.path()).tiltDegrees));
        face::ForgetEyeCascade();
    }

    // Two reviews at once (the window's face thread beside a batch's) share
    // only the parsed cascade and find what each finds alone.
    void twoAtOnce() {
        const Saved photos[] = {Save(Tilted(12, heads::kBlue)), Save(OnWall(Flag))};
        review::Findings alone[2], together[2];
        for (int i = 0; i < 2; ++i)
            alone[i] = review::Review(photos[i].photo, photos[i].face, kHead, Folder());
        std::thread other([&] { together[1] = review::Review(photos[1].photo, photos[1].face, kHead, Folder()); });
        together[0] = review::Review(photos[0].photo, photos[0].face, kHead, Folder());
        other.join();
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(together[i].tiltDegrees, alone[i].tiltDegrees);
            QCOMPARE(Told(together[i]), Told(alone[i]));
        }
    }
};

QTEST_GUILESS_MAIN(TestReview)
#include "test_review.moc"
