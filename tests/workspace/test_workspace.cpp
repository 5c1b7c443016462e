// SPDX-License-Identifier: GPL-3.0-or-later
// The photo workspace without a window: reading, zoom, drag, crop, the checks
// before an upload, and the tool's wording.
#include <QTemporaryDir>
#include <QtTest>

#include "heads.h"
#include "export/jpeg_encoder.h"
#include "export/upload_file.h"
#include "face/face_check.h"
#include "photo/jpeg_decoder.h"
#include "photo/jpeg_error.h"
#include "texts/texts.h"
#include "workspace/photo_workspace.h"
#include "workspace/zoom.h"

#include <functional>

using namespace workspace;
// A column of the current row, as an expression.
#define FETCH(Type, name) (*static_cast<Type*>(QTest::qData(#name, ::qMetaTypeId<Type>())))
Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(std::exception_ptr)
Q_DECLARE_METATYPE(ReadWork::Stop)
Q_DECLARE_METATYPE(heads::Look)
Q_DECLARE_METATYPE(workspace::HeadDoubt)

namespace {

QString Data(const QString& name) {
    return QStringLiteral(EXAM_TESTDATA_DIR "/") + name;
}

// A picture whose every pixel tells where it came from.
QImage Pattern(int w, int h, QRgb fill = 0) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, fill ? fill : qRgb(x % 256, y % 256, (x / 256) * 64 + (y / 256) * 16));
    return img;
}

// What a read of `photo` finds when the face check sees these faces.
ReadWork Found(const QImage& photo, QVector<QRect> faces = {QRect(1, 1, 30, 30)}) {
    ReadWork work;
    work.bytes = upload::EncodeJpeg(photo, 100);
    work.jpeg = std::make_shared<photo::SourcePhoto>();
    work.jpeg->Load(work.bytes);
    work.jpeg->Pixels();
    work.stop = ReadWork::Stop::Complete;
    work.faceRects = std::move(faces);
    return work;
}

UploadWork Prepared(const QByteArray& jpeg, const QVector<QRect>& faces, std::exception_ptr failure = {}) {
    UploadWork work;
    work.jpeg = jpeg;
    work.faces = faces;
    work.failure = failure;
    return work;
}

// The verdict on the frame as it is, its face part answered as the face
// thread would answer it.
const LiveVerdict& Answered(PhotoWorkspace& ws) {
    ws.JudgeFrame();
    const FaceRequest request = ws.FaceToCheck();
    if (!request.crop.isNull())
        ws.AnswerFace(request.generation, PhotoWorkspace::ComputeFacePart(request));
    return ws.Verdict();
}

// Press, moves and release written as "p x,y", "m x,y" and "r".
void Drag(PhotoWorkspace& ws, const QString& script) {
    for (const QString& step : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList xy = step.mid(1).split(QLatin1Char(','));
        if (step[0] == QLatin1Char('p'))
            ws.Press(xy[0].toInt(), xy[1].toInt());
        else if (step[0] == QLatin1Char('m'))
            ws.Move(xy[0].toInt(), xy[1].toInt());
        else
            ws.Release();
    }
}

// The rendering built the plain way: every pixel of the stretched source.
QRgb Rendered(const QImage& source, QSize size, int x, int y) {
    return source.pixel(int(qint64(x) * source.width() / size.width()),
                        int(qint64(y) * source.height() / size.height())) | 0xff000000u;
}

}  // namespace

class TestWorkspace : public QObject {
    Q_OBJECT

private slots:
    void texts_data() {
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<std::exception_ptr>("failure");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::newRow("reset/crop") << Outcome::PleaseReadFirst << std::exception_ptr() << "请先读取照片！" << "错误提示" << 16;
        QTest::newRow("small") << Outcome::FileTooSmall << std::exception_ptr() << "原始照片不能小于8K或可能像素太低，请更换照片。" << "提示" << 64;
        QTest::newRow("format") << Outcome::NotAJpeg << std::exception_ptr() << "照片不是JPG文件或格式错误，不能进行处理！" << "提示" << 64;
        QTest::newRow("no face") << Outcome::NoFace << std::exception_ptr() << "请选择标准照照片！" << "错误提示" << 16;
        QTest::newRow("no crop") << Outcome::NothingCropped << std::exception_ptr() << "请先裁剪或压缩照片！" << "错误提示" << 16;
        QTest::newRow("background") << Outcome::BadBackground << std::exception_ptr()
                                    << "照片不是标准照或背景颜色不是蓝、红或白色，不能保存！" << "错误提示" << 16;
        QTest::newRow("bottom") << Outcome::WhiteBottomEdge << std::exception_ptr() << "照片太小或有白色边框，不能保存！" << "错误提示" << 16;
        QTest::newRow("no face left") << Outcome::NoFaceInResult << std::exception_ptr() << "请重新裁剪为标准照照片，不能保存！" << "错误提示" << 16;
        QTest::newRow("saved") << Outcome::Saved << std::exception_ptr() << "请注意：您生成的照片文件为：/x/a.jpg" << "信息提示" << 64;
        const QString title = QStringLiteral("报名照片制作 exam-photo");
        QTest::newRow("JPEG error") << Outcome::Failure << std::make_exception_ptr(photo::JpegError(42))
                                    << "JPEG error #42." << title << 16;
        QTest::newRow("cannot create") << Outcome::Failure
                                       << std::make_exception_ptr(upload::FileError(
                                              upload::FileError::Step::Create, "/x/a.jpg", "Permission denied"))
                                       << "Cannot create file \"/x/a.jpg\". Permission denied." << title << 16;
        QTest::newRow("no cascade") << Outcome::Failure << std::make_exception_ptr(face::CascadeMissing("/p/c.xml"))
                                    << "找不到人像检测文件“/p/c.xml”，请重新安装本程序。" << title << 16;
        QTest::newRow("no memory") << Outcome::Failure << std::make_exception_ptr(std::bad_alloc())
                                   << "照片太大，这台电脑的内存不够处理它。" << title << 16;
        QTest::newRow("OpenCV") << Outcome::Failure << std::make_exception_ptr(face::DetectorFailure("(-215) x\n"))
                                << "Unexpected failure: (-215) x." << title << 16;
        QTest::newRow("done") << Outcome::Done << std::exception_ptr() << "" << "" << 0;
    }
    void texts() {
        QFETCH(Outcome, outcome);
        const texts::Message m = texts::MessageFor({outcome, QStringLiteral("/x/a.jpg"), FETCH(std::exception_ptr, failure)});
        QCOMPARE(m.text, FETCH(QString, text));
        QCOMPARE(m.caption, FETCH(QString, caption));
        QCOMPARE(m.icon, FETCH(int, icon));
        // The failure report's full stop goes only after a letter, digit or the like.
        QCOMPARE(texts::WithFullStop(QStringLiteral("a!")), QStringLiteral("a!"));
        QCOMPARE(texts::WithFullStop(QStringLiteral("a.")), QStringLiteral("a."));
        QCOMPARE(texts::WithFullStop(QStringLiteral("原因")), QStringLiteral("原因."));
        QCOMPARE(texts::WithFullStop(QStringLiteral("原因。")), QStringLiteral("原因。"));
    }

    // What a reviewer would refuse, as the line ends with its first and a
    // batch's reason lists them all, the head's shadow among them.
    void findingWords_data() {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<bool>("tilted");
        QTest::addColumn<bool>("shadow");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("reason");
        QTest::newRow("none") << false << false << false << "相框内的照片能通过保存检查，头部位置合适，可以裁剪" << "";
        QTest::newRow("dark and tilted") << true << true << false << "相框内的照片能通过保存检查，头部位置合适，可以裁剪；提示：脸部太暗"
                                         << "已保存，审核提示：脸部太暗、头部歪斜";
        QTest::newRow("tilted, a shadow") << false << true << true << "相框内的照片能通过保存检查，头部位置合适，可以裁剪；提示：头部歪斜"
                                          << "已保存，审核提示：头部歪斜、背景有阴影";
    }
    void findingWords() {
        LiveVerdict verdict;
        verdict.shown = true;
        verdict.face = LiveVerdict::Face::Found;
        HeadFinding head;
        head.measure = HeadMeasure{{40, 40, 40}, QRect(40, 40, 120, 200)};
        head.shadow = FETCH(bool, shadow);
        verdict.head = head;
        verdict.findings = review::Findings();
        verdict.findings->tooDark = FETCH(bool, dark);
        verdict.findings->tilted = FETCH(bool, tilted);
        QCOMPARE(texts::VerdictLine(verdict, false), FETCH(QString, line));
        QCOMPARE(texts::SavedReason(head, verdict.findings), FETCH(QString, reason));
    }

    // A wall that misses white by a few levels is told what it lacks.
    void greyWall() {
        PhotoWorkspace ws;
        ws.ApplyRead(Found(Pattern(200, 280, qRgb(190, 190, 186))));
        ws.JudgeFrame();
        QCOMPARE(texts::VerdictLine(ws.Verdict(), false), texts::kVerdictGreyWall);
    }

    // The window's own words, as the user reads them.
    void windowTexts() {
        const std::pair<QString, const char*> texts[] = {
            {texts::kAppTitle, "报名照片制作 exam-photo"}, {texts::kZoomLabel, "图像缩放"},
            {texts::kResetLink, "还原照片尺寸"}, {texts::kReadButton, "读取照片"}, {texts::kSaveButton, "另存为"},
            {texts::kCropButton, "裁剪"}, {texts::kExitButton, "退出!"}, {texts::kResultPlaceholder, "生成的标准照片"},
            {texts::kStatusDate, "2015年5月"}, {texts::kFramingHint, "双击照片可自动对齐人像"},
            {texts::kOpenTitle, "打开照片源文件"}, {texts::kSaveTitle, "保存照片上传文件为..."},
            {texts::kJpegFilter, "JPEG Image File (*.jpg)"}, {texts::kPreviewSize, "%1 x %2 像素"},
            {texts::kReadingProgress, "正在读取照片… %1%"}, {texts::kFacesProgress, "正在检测人像…"},
            {texts::kEncodingProgress, "正在压缩照片…"},
            {texts::kRequirements, "裁剪后合格的照片要求为：\n1、无白色边框\n2、背景色为蓝、红或白色单色\n"
                                   "3、生成人像头部距离照片左、上、右距离大约为0.5cm"}};
        for (const auto& [text, literal] : texts)
            QCOMPARE(text, QString::fromUtf8(literal));
    }

    // Rendering sizes and places after a read (position 0) or a zoom.
    void zoomPlacement_data() {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<int>("position");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("0.5 -> 0, 29.5 -> 30") << QSize(241, 250) << 0 << QRect(0, 30, 241, 250);
        QTest::newRow("as wide as the viewport") << QSize(242, 100) << 0 << QRect(8, 104, 242, 100);
        QTest::newRow("one wider") << QSize(243, 100) << 0 << QRect(8, 104, 243, 100);
        QTest::newRow("2.0 grows from its corner") << QSize(600, 800) << 20 << QRect(8, 0, 1200, 1600);
        QTest::newRow("320.5 -> 320") << QSize(641, 800) << -10 << QRect(8, 0, 320, 400);
        QTest::newRow("0.8 centres across") << QSize(300, 400) << -4 << QRect(1, 0, 240, 320);
        QTest::newRow("10 x 0.05 -> 1") << QSize(10, 400) << -19 << QRect(120, 144, 1, 20);
        QTest::newRow("45 x 0.1 -> 5") << QSize(45, 400) << -18 << QRect(118, 134, 5, 40);
        QTest::newRow("scale 0 keeps the control") << QSize(400, 500) << -20 << QRect(8, 0, 400, 500);
    }
    void zoomPlacement() {
        QFETCH(QSize, source);
        QFETCH(int, position);
        PhotoWorkspace ws;
        QCOMPARE(ws.ApplyRead(Found(Pattern(source.width(), source.height()))).outcome, Outcome::Done);
        if (position != 0)
            QVERIFY(ws.Zoom(position));
        QCOMPARE(ws.Working().geometry, FETCH(QRect, expected));
        QVERIFY(ws.SliderEnabled());
    }

    // The frame at (21, 14); a 400 x 500 photo may go from left -179, top -206 to 21, 14.
    void drag_data() {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("overshoot by one move") << QSize(400, 500) << "p200,300 m18,99 m170,270" << QPoint(-204, -231);
        QTest::newRow("then onto the limit") << QSize(400, 500) << "p200,300 m18,99 m170,270 m199,299" << QPoint(-179, -206);
        QTest::newRow("on the limit stays") << QSize(400, 500) << "p200,300 m18,99 m170,270 m199,299 m150,250"
                                           << QPoint(-179, -206);
        QTest::newRow("right and down") << QSize(400, 500) << "p100,100 m105,103" << QPoint(13, 3);
        QTest::newRow("highest stays") << QSize(400, 500) << "p100,100 m113,114 m120,120" << QPoint(21, 14);
        QTest::newRow("released") << QSize(400, 500) << "p100,100 r m150,150" << QPoint(8, 0);
        QTest::newRow("narrow: lowest") << QSize(100, 400) << "p50,50 m50,50" << QPoint(121, 0);
        QTest::newRow("narrow: highest") << QSize(100, 400) << "p50,50 m51,50" << QPoint(21, 0);
    }
    void drag() {
        QFETCH(QSize, source);
        PhotoWorkspace ws;
        ws.ApplyRead(Found(Pattern(source.width(), source.height())));
        Drag(ws, FETCH(QString, script));
        QCOMPARE(ws.Working().geometry.topLeft(), FETCH(QPoint, expected));
    }

    // Without a head to measure (the patterns' colours do not pass): the face
    // 93 pixels below the frame's top, centred across, at the scale that
    // brings it closest to 100 pixels wide (the smaller one on a tie).
    void framing_data() {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QRect>("face");
        QTest::addColumn<int>("position");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("98 against 102: tie") << QSize(400, 500) << QRect(150, 100, 82, 90) << 4 << QPoint(-108, -13);
        QTest::newRow("101") << QSize(400, 500) << QRect(150, 100, 81, 90) << 5 << QPoint(-117, -18);
        QTest::newRow("97 against 103: tie") << QSize(400, 500) << QRect(150, 100, 108, 90) << -2 << QPoint(-62, 14);
        QTest::newRow("covering scales only") << QSize(300, 400) << QRect(50, 60, 190, 200) << -6 << QPoint(20, 14);
        QTest::newRow("highest limits") << QSize(400, 500) << QRect(0, 0, 82, 90) << 4 << QPoint(21, 14);
        QTest::newRow("lowest limits") << QSize(400, 500) << QRect(318, 410, 82, 90) << 4 << QPoint(-259, -306);
        QTest::newRow("never covers") << QSize(90, 130) << QRect(20, 20, 40, 40) << 20 << QPoint(31, 24);
    }
    void framing() {
        QFETCH(QSize, source);
        QFETCH(int, position);
        PhotoWorkspace ws;
        QVERIFY(!ws.CanFrame());
        // The largest face is the one framed.
        ws.ApplyRead(Found(Pattern(source.width(), source.height()), {QRect(1, 1, 30, 30), FETCH(QRect, face)}));
        QVERIFY(ws.CanFrame());
        ws.Press(5, 5);
        QCOMPARE(ws.FrameFace().position, position);
        QCOMPARE(ws.Working().geometry.topLeft(), FETCH(QPoint, place));
        QVERIFY(!ws.Dragging());
    }

    // With a head to measure, the double-click puts it where the window's
    // requirements want it, as the live verdict then measures it.
    void framingByHead_data() {
        QTest::addColumn<heads::Look>("look");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("width");  // the head's, centred, its top at a fifth of the height
        QTest::newRow("dark on blue, small") << heads::kDarkOnBlue << QSize(300, 400) << 110;
        QTest::newRow("brown on red") << heads::kBrownOnRed << QSize(500, 600) << 200;
        QTest::newRow("blond on white") << heads::kBlondOnWhite << QSize(360, 480) << 140;
        QTest::newRow("dark on blue, large") << heads::kDarkOnBlue << QSize(800, 1000) << 320;
        QTest::newRow("blond on white, large") << heads::kBlondOnWhite << QSize(500, 700) << 230;
    }
    void framingByHead() {
        QFETCH(QSize, size);
        const QImage photo = heads::MakePortrait(size, size.width() / 2, size.height() / 5, FETCH(int, width),
                                                 FETCH(heads::Look, look)).photo;
        PhotoWorkspace ws;
        ReadWork read = Found(photo, {});
        read.faceRects = face::CountFaces(read.bytes);
        ws.ApplyRead(std::move(read));
        ws.FrameFace();
        const HeadMeasure head = *Answered(ws).head->measure;
        for (const int margin : head.margin)
            QVERIFY2(margin >= 24 && margin <= 56, qPrintable(QString::number(margin)));
    }

    // The head measured in an upload photo as the save writes it (JPEG at
    // 90, the face found in those bytes): its margins within 2 pixels of the
    // drawn outline, the line that names them and the lines the frame shows;
    // or why it could not be measured with confidence. The face is the face
    // check's unless the row gives one.
    void headMeasure_data() {
        QTest::addColumn<heads::Look>("look");
        QTest::addColumn<QPoint>("top");  // the head's top middle in the 200 x 280 photo
        QTest::addColumn<int>("width");
        QTest::addColumn<QRect>("face");
        QTest::addColumn<HeadDoubt>("doubt");
        QTest::addColumn<bool>("shadow");
        QTest::addColumn<QString>("line");
        using namespace heads;
        const QRect found;
        const auto measured = [&](const char* name, Look look, QPoint top, int width, bool shadow, const char* line) {
            QTest::newRow(name) << look << top << width << found << HeadDoubt::None << shadow
                                << QString::fromUtf8(line);
        };
        const auto doubted = [&](const char* name, Look look, QPoint top, int width, QRect face, HeadDoubt doubt) {
            QTest::newRow(name) << look << top << width << face << doubt << false << QString();
        };
        const char* fits = "相框内的照片能通过保存检查，头部位置合适，可以裁剪";
        measured("fits", kDarkOnBlue, {100, 40}, 120, false, fits);
        measured("near the top, wall darker below", Look{kRed, kBrown, -60}, {100, 12}, 120, false,
                 "能通过保存检查，但头部离上边太近（见橙线）");
        measured("far from the top", kBlondOnWhite, {100, 70}, 100, false, "能通过保存检查，但头部离上边太远（见橙线）");
        measured("near the left, wall lighter to the right", Look{kRed, kBlond, 0, 60}, {75, 40}, 130, false,
                 "能通过保存检查，但头部离左边太近（见橙线）");
        measured("far from the right, wall darker to the right", Look{kBlue, kBrown, 0, -60}, {70, 40}, 110, false,
                 "能通过保存检查，但头部离右边太远（见橙线）");
        measured("top cut by the frame", Look{kWhite, kDark}, {101, -1}, 96, false, "能通过保存检查，但头部碰到了相框上边（见橙线）");
        measured("blond on blue, wall lighter below", Look{kBlue, kBlond, 60}, {100, 45}, 110, false, fits);
        // Auburn on red stands out by 60 in one channel only.
        measured("auburn on red", Look{kRed, qRgb(140, 45, 40)}, {100, 40}, 120, false, fits);
        measured("shadow on white", Look{kBrightWhite, kDark, 0, 0, 1}, {96, 40}, 116, true, fits);
        measured("shadow on blue", Look{kBlue, kBrown, 0, 0, -1}, {104, 38}, 116, true, fits);
        measured("grey hair on white", Look{kBrightWhite, kGrey}, {100, 40}, 120, false, fits);
        measured("black hair on dark blue", Look{kDarkBlue, kDark}, {100, 42}, 118, false, fits);
        measured("a shelf above the head", kDarkOnBlue, {100, 40}, 120, false, fits);
        doubted("hair like the wall", Look{kBrightWhite, qRgb(238, 238, 236)}, {100, 40}, 120, found,
                HeadDoubt::HairLikeWall);
        // Lit from the left, the grey hair's edge there is as pale as the wall.
        doubted("grey hair lit from the left", Look{kBrightWhite, kGrey, 0, 0, 0, false, 22}, {100, 40}, 120, found,
                HeadDoubt::HairLikeWall);
        doubted("a light rectangle touching the head", Look{kBlue, kDark, 0, 0, 0, true}, {96, 40}, 114, found,
                HeadDoubt::ObjectBeside);
        doubted("higher above the face than a head", kDarkOnBlue, {100, 40}, 120, QRect(65, 130, 70, 70),
                HeadDoubt::ObjectBeside);
        doubted("nothing above the face", kDarkOnBlue, {100, 40}, 120, QRect(70, 20, 60, 60), HeadDoubt::NoTop);
    }
    void headMeasure() {
        QFETCH(QPoint, top);
        QFETCH(int, width);
        QFETCH(QRect, face);
        heads::Portrait portrait = heads::MakePortrait(QSize(200, 280), top.x(), top.y(), width, FETCH(heads::Look, look));
        if (QByteArray(QTest::currentDataTag()).contains("shelf"))
            QPainter(&portrait.photo).fillRect(10, 12, 180, 16, QColor(90, 60, 30));
        const QByteArray jpeg = upload::EncodeJpeg(portrait.photo, 90);
        const QImage upload = photo::DecodeJpeg(jpeg, 1);
        bool coloured = false;
        QCOMPARE(PhotoWorkspace::JudgeColours(upload, coloured), Outcome::Done);
        const HeadFinding finding = MeasureHead(upload, face.isNull() ? LargestFace(face::CountFaces(jpeg)) : face);
        QCOMPARE(finding.doubt, FETCH(HeadDoubt, doubt));
        QCOMPARE(finding.shadow, FETCH(bool, shadow));
        QCOMPARE(finding.measure.has_value(), finding.doubt == HeadDoubt::None);
        if (!finding.measure)
            return;
        QCOMPARE(texts::HeadLine(*finding.measure), FETCH(QString, line));
        const QRect outline = portrait.outline;
        const int wanted[] = {std::max(0, outline.top()), outline.left(), std::max(0, 199 - outline.right())};
        const QPoint corner(21, 14);
        const QVector<base::MarkLine> guides = HeadGuides(*finding.measure, corner);
        const int placed[] = {guides[0].line.y1() - corner.y(), guides[1].line.x1() - corner.x(),
                              199 - (guides[2].line.x1() - corner.x())};
        for (int side = 0; side < 3; ++side) {
            QVERIFY2(std::abs(finding.measure->margin[side] - wanted[side]) <= 2,
                     qPrintable(QStringLiteral("%1: %2").arg(side).arg(finding.measure->margin[side])));
            QCOMPARE(placed[side], finding.measure->margin[side]);
            const bool within = wanted[side] >= 24 && wanted[side] <= 56;
            QCOMPARE(guides[side].style, within ? base::MarkLine::Wanted : base::MarkLine::Unwanted);
        }
        QCOMPARE(guides[3].line, QLine(corner + QPoint(0, 40), corner + QPoint(5, 40)));  // the top's target
    }

    // A real head on a real studio backdrop (the astronaut's, brightened to
    // pass as a white wall): blotched in a hue of its own and blown out at
    // its edges, it is wall all the same. The outline was read off the photo.
    void headOnRealBackdrop() {
        QFile file(Data("workflow/backdrop_white.jpg"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray jpeg = file.readAll();
        const HeadFinding finding = MeasureHead(QImage::fromData(jpeg, "JPEG"), LargestFace(face::CountFaces(jpeg)));
        QVERIFY(finding.measure);
        const int outline[] = {15, 17, 41};
        for (int side = 0; side < 3; ++side)
            QVERIFY2(std::abs(finding.measure->margin[side] - outline[side]) <= 2, qPrintable(QString::number(side)));
    }

    // The side a line names: one the head touches first, else the margin
    // furthest from 40 pixels (on a tie the top, then the left).
    void furthestSide_data() {
        QTest::addColumn<QVector<int>>("margins");  // top, left, right
        QTest::addColumn<int>("side");
        QTest::newRow("touches the top, far from the right") << QVector<int>{0, 30, 100} << int(HeadMeasure::Top);
        QTest::newRow("touches the right, near the top") << QVector<int>{10, 40, 0} << int(HeadMeasure::Right);
        QTest::newRow("touches left and right") << QVector<int>{40, 0, 0} << int(HeadMeasure::Left);
        QTest::newRow("furthest: the right") << QVector<int>{30, 45, 100} << int(HeadMeasure::Right);
        QTest::newRow("a tie: the top") << QVector<int>{20, 60, 40} << int(HeadMeasure::Top);
    }
    void furthestSide() {
        QFETCH(QVector<int>, margins);
        HeadMeasure head;
        std::copy(margins.begin(), margins.end(), head.margin);
        QCOMPARE(int(head.Furthest()), FETCH(int, side));
    }

    // The crop is the rendering under the frame; white where it does not reach.
    void crop_data() {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QPoint>("corner");  // the frame's corner in rendering coordinates
        QTest::newRow("photo on the frame") << QSize(400, 500) << 0 << "p0,0 m13,14" << QPoint(0, 0);
        QTest::newRow("lowest limits") << QSize(400, 500) << 0 << "p0,0 m-300,-300 m-300,-300" << QPoint(200, 220);
        QTest::newRow("half, centred") << QSize(300, 400) << -10 << "" << QPoint(-25, -40);
        QTest::newRow("odd scale") << QSize(400, 500) << 7 << "p0,0 m-37,-51" << QPoint(50, 65);
        QTest::newRow("scale 0") << QSize(400, 500) << -20 << "" << QPoint(0, 0);
    }
    void crop() {
        QFETCH(QSize, source);
        QFETCH(int, position);
        QFETCH(QPoint, corner);
        PhotoWorkspace ws;
        QCOMPARE(ws.Crop().outcome, Outcome::PleaseReadFirst);
        ReadWork work = Found(Pattern(source.width(), source.height()));
        const QImage decoded = work.jpeg->Pixels();
        ws.ApplyRead(std::move(work));
        ws.Zoom(position);
        Drag(ws, FETCH(QString, script));
        QCOMPARE(ws.Crop().outcome, Outcome::Done);
        const QImage result = ws.ResultPhoto();
        QCOMPARE(result.size(), QSize(200, 280));
        const QSize size = ScaledSize(decoded.size(), ScaleForPosition(position));
        for (int y = 0; y < 280; ++y)
            for (int x = 0; x < 200; ++x) {
                const QPoint at = corner + QPoint(x, y);
                const bool inside = QRect(QPoint(0, 0), size).contains(at);
                const QRgb want = inside ? Rendered(decoded, size, at.x(), at.y()) : qRgb(255, 255, 255);
                if (result.pixel(x, y) != want)
                    QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
            }
    }

    // Reads of real files, each after a photo that passed and was cropped.
    void read_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("size");  // pad or cut to this many bytes; 0 as it is
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("8192 bytes") << "workflow/small.jpg" << 8192 << Outcome::FileTooSmall;
        QTest::newRow("small PNG") << "workflow/small_not_a_jpeg.jpg" << 0 << Outcome::NotAJpeg;
        QTest::newRow("large PNG") << "workflow/not_a_jpeg.jpg" << 0 << Outcome::NotAJpeg;
        QTest::newRow("missing") << "workflow/missing.jpg" << 0 << Outcome::NotAJpeg;
        QTest::newRow("no face") << "workflow/no_face.jpg" << 0 << Outcome::NoFace;
        QTest::newRow("portrait") << "workflow/portrait_241x250.jpg" << 0 << Outcome::Done;
    }
    void read() {
        QFETCH(QString, file);
        QFETCH(int, size);
        QFETCH(Outcome, outcome);
        QTemporaryDir dir;
        QString path = Data(file);
        if (size) {
            QFile in(path);
            in.open(QIODevice::ReadOnly);
            QByteArray bytes = in.readAll();
            bytes.resize(size, '\0');
            path = dir.filePath(QStringLiteral("sized.jpg"));
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == size);
        }
        PhotoWorkspace ws;
        QCOMPARE(ws.Read(Data(QStringLiteral("workflow/portrait_400x500.jpg"))).outcome, Outcome::Done);
        Drag(ws, QStringLiteral("p0,0 m-20,-10 r"));
        ws.Crop();
        QCOMPARE(ws.Read(path).outcome, outcome);
        const bool refusedEarly = outcome == Outcome::FileTooSmall || outcome == Outcome::NotAJpeg;
        // A refused file stays in the workspace for a later zoom; the photo on view stays too.
        QCOMPARE(ws.SourceStream().isEmpty(), file.contains(QLatin1String("missing")));
        QCOMPARE(ws.SourceJpeg() != nullptr, outcome != Outcome::NoFace);
        QCOMPARE(ws.Working().present, outcome != Outcome::NoFace);
        QCOMPARE(ws.ResultPhoto().isNull(), !refusedEarly);
        QCOMPARE(ws.CanFrame(), outcome == Outcome::Done);
        if (refusedEarly)
            QCOMPARE(ws.Working().geometry, QRect(-12, -10, 400, 500));
        // A refused file cannot be rendered: the zoom leaves the photo where it was.
        if (outcome == Outcome::NotAJpeg) {
            QVERIFY(!ws.Zoom(3));
            QCOMPARE(ws.Working().geometry, QRect(-12, -10, 400, 500));
        }
        QVERIFY(ws.SliderEnabled());
    }

    // A read that fails says so as a file it cannot use, unless the install
    // is broken, memory ran out or OpenCV failed. A face check that failed
    // for want of an image or of the cascade leaves the new photo shown; one
    // that OpenCV could not run keeps the previous one.
    void readFails_data() {
        QTest::addColumn<ReadWork::Stop>("stop");
        QTest::addColumn<std::exception_ptr>("failure");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("shownWidth");
        QTest::newRow("face check") << ReadWork::Stop::FaceCheckFailed
                                    << std::make_exception_ptr(face::ImageUnreadable()) << Outcome::NotAJpeg << 100;
        QTest::newRow("no cascade") << ReadWork::Stop::FaceCheckFailed
                                    << std::make_exception_ptr(face::CascadeMissing("c")) << Outcome::Failure << 100;
        QTest::newRow("OpenCV") << ReadWork::Stop::FaceCheckFailed
                                << std::make_exception_ptr(face::DetectorFailure("(-215) x")) << Outcome::Failure << 400;
        QTest::newRow("no memory") << ReadWork::Stop::Undecodable << std::make_exception_ptr(std::bad_alloc())
                                   << Outcome::Failure << 400;
    }
    void readFails() {
        PhotoWorkspace ws;
        ws.ApplyRead(Found(Pattern(400, 500)));
        ReadWork work = Found(Pattern(100, 100), {});
        work.stop = FETCH(ReadWork::Stop, stop);
        work.failure = FETCH(std::exception_ptr, failure);
        QCOMPARE(ws.ApplyRead(std::move(work)).outcome, FETCH(Outcome, outcome));
        QCOMPARE(ws.Working().geometry.width(), FETCH(int, shownWidth));
    }

    void hostileCorpus() {
        const QString dir = Data(QStringLiteral("hostile/"));
        QFile manifest(dir + QStringLiteral("manifest.tsv"));
        QVERIFY(manifest.open(QIODevice::ReadOnly | QIODevice::Text));
        int files = 0;
        for (const QByteArray& line : manifest.readAll().split('\n')) {
            const QList<QByteArray> f = line.split('\t');
            if (f.size() < 3 || line.startsWith('#'))
                continue;
            const Outcome expected = f[1] == "size-refused"              ? Outcome::FileTooSmall
                                     : f[1] != "decoded" || f[2] == "check-fails" ? Outcome::NotAJpeg
                                     : f[2] == "no-face"                 ? Outcome::NoFace
                                                                         : Outcome::Done;
            PhotoWorkspace ws;
            const Result result = ws.Read(dir + QString::fromUtf8(f[0]));
            QVERIFY2(result.outcome == expected, f[0].constData());
            QCOMPARE(texts::MessageFor(result).text.isEmpty(), expected == Outcome::Done);
            ++files;
        }
        QVERIFY(files > 40);
    }

    // The checks before an upload, on a photo read exactly under the frame.
    void checks_data() {
        QTest::addColumn<QRgb>("background");
        QTest::addColumn<QRgb>("bottom");  // the last ten rows
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<bool>("coloured");
        QTest::newRow("blue") << qRgb(20, 50, 210) << qRgb(20, 50, 210) << Outcome::Done << true;
        QTest::newRow("blue, white shirt") << qRgb(20, 50, 210) << qRgb(255, 255, 255) << Outcome::Done << true;
        QTest::newRow("red, white shirt") << qRgb(210, 30, 30) << qRgb(255, 255, 255) << Outcome::Done << true;
        QTest::newRow("white") << qRgb(230, 230, 230) << qRgb(230, 230, 230) << Outcome::Done << false;
        QTest::newRow("white, white edge") << qRgb(230, 230, 230) << qRgb(255, 255, 255) << Outcome::WhiteBottomEdge << false;
        QTest::newRow("green") << qRgb(30, 200, 30) << qRgb(30, 200, 30) << Outcome::BadBackground << false;
    }
    void checks() {
        QFETCH(QRgb, background);
        QImage photo = Pattern(200, 280, background);
        for (int y = 270; y < 280; ++y)
            for (int x = 0; x < 200; ++x)
                photo.setPixel(x, y, FETCH(QRgb, bottom));
        PhotoWorkspace ws;
        QCOMPARE(ws.CheckResult().outcome, Outcome::NothingCropped);
        ws.ApplyRead(Found(photo));
        QCOMPARE(ws.Working().geometry, QRect(21, 14, 200, 280));
        ws.Crop();
        QFETCH(Outcome, outcome);
        QCOMPARE(ws.CheckResult().outcome, outcome);
        QCOMPARE(ws.ColoredBackground(), FETCH(bool, coloured));
        QCOMPARE(ws.ResultPhoto().isNull(), outcome != Outcome::Done);
    }

    // The live verdict says what the save would say of the crop the frame
    // would give now, and changes nothing the save reads; while the mouse is
    // held it asks no face, and a face part that failed says why.
    void liveVerdict_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("script");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QVector<QPoint>>("rings");
        QTest::addColumn<std::exception_ptr>("faceFailure");  // the face part's answer instead of its work
        QTest::addColumn<QString>("line");
        const auto none = std::exception_ptr();
        // The head in a light rectangle: an object beside it, no head measured.
        QTest::newRow("passes") << "workflow/studio_blue.jpg" << 0 << "" << Outcome::Done << QVector<QPoint>{} << none
                                << "能通过保存检查，但无法测量头部位置（头部旁有其他物体），请目测";
        QTest::newRow("held on the photo") << "workflow/studio_blue.jpg" << 0 << "p0,0 m0,-1" << Outcome::Done
                                           << QVector<QPoint>{} << none
                                           << "相框内的背景和底边能通过保存检查（松开鼠标后检测人像）";
        QTest::newRow("no cascade") << "workflow/studio_blue.jpg" << 0 << "" << Outcome::Done << QVector<QPoint>{}
                                    << std::make_exception_ptr(face::CascadeMissing("c"))
                                    << "无法检测相框内的人像：找不到人像检测文件，请重新安装本程序";
        QTest::newRow("no memory") << "workflow/studio_blue.jpg" << 0 << "" << Outcome::Done << QVector<QPoint>{}
                                   << std::make_exception_ptr(std::bad_alloc()) << "无法检测相框内的人像：这台电脑的内存不够";
        QTest::newRow("top row on the hair") << "workflow/studio_blue.jpg" << 0 << "p0,0 m0,-86 r" << Outcome::BadBackground
                                             << QVector<QPoint>{{102, 17}, {142, 17}, {182, 17}, {218, 15}, {218, 85}}
                                             << none << "背景不是单一的蓝、红或白色（见红圈）";
        QTest::newRow("side column on the head") << "workflow/studio_blue.jpg" << 0 << "p0,0 m0,-50 r"
                                                 << Outcome::BadBackground << QVector<QPoint>{{218, 85}} << none
                                                 << "背景不是单一的蓝、红或白色（见红圈）";
        QTest::newRow("zoomed out on white") << "workflow/studio_white.jpg" << -10 << "" << Outcome::WhiteBottomEdge
                                             << QVector<QPoint>{{22, 291}, {62, 291}, {102, 291}, {142, 291}, {182, 291}}
                                             << none << "底边是白色：照片小于相框或有白色边框（见红圈）";
        QTest::newRow("face dragged out") << "workflow/studio_blue.jpg" << 20 << "p0,0 m-500,-600 m-500,-600 r"
                                          << Outcome::NoFaceInResult << QVector<QPoint>{} << none << "相框内检测不到人像";
    }
    void liveVerdict() {
        QFETCH(Outcome, outcome);
        QFETCH(std::exception_ptr, faceFailure);
        PhotoWorkspace ws;
        QCOMPARE(ws.Read(Data(FETCH(QString, file))).outcome, Outcome::Done);
        ws.Zoom(FETCH(int, position));
        Drag(ws, FETCH(QString, script));
        QVERIFY(ws.VerdictStale());
        ws.JudgeFrame();
        const FaceRequest request = ws.FaceToCheck();
        QCOMPARE(ws.Verdict().rings, FETCH(QVector<QPoint>, rings));
        QCOMPARE(request.crop.isNull(), ws.Verdict().colour != Outcome::Done || ws.Dragging());
        if (!request.crop.isNull()) {
            QCOMPARE(ws.Verdict().face, LiveVerdict::Face::Checking);
            QVERIFY(!ws.AnswerFace(request.generation - 1, {}));  // about an earlier frame: ignored
            QCOMPARE(ws.Verdict().face, LiveVerdict::Face::Checking);
            QVERIFY(ws.AnswerFace(request.generation, faceFailure ? Prepared({}, {}, faceFailure)
                                                                  : PhotoWorkspace::ComputeFacePart(request)));
        }
        QCOMPARE(texts::VerdictLine(ws.Verdict(), false), FETCH(QString, line));
        // What the save says of the crop, and the verdict left it alone.
        ws.Release();
        QVERIFY(ws.ResultPhoto().isNull());
        ws.Crop();
        Result saved = ws.CheckResult();
        if (saved.Passed())
            saved = ws.ApplyUpload(PhotoWorkspace::ComputeUpload(ws.ResultPhoto()));
        QCOMPARE(saved.outcome, outcome);
        const QImage result = ws.ResultPhoto();
        const bool coloured = ws.ColoredBackground();
        ws.JudgeFrame();
        QVERIFY(ws.ResultPhoto().constBits() == result.constBits() && ws.ColoredBackground() == coloured);
    }

    // Every change under the frame leaves the verdict stale, whichever
    // action made it, so that the window works it out afresh.
    void verdictFollowsEveryChange() {
        PhotoWorkspace ws;
        ws.ApplyRead(Found(Pattern(400, 500)));
        const std::pair<const char*, std::function<void()>> changes[] = {
            {"zoom", [&] { ws.Zoom(3); }},      {"move", [&] { Drag(ws, QStringLiteral("p5,5 m9,9")); }},
            {"release", [&] { ws.Release(); }}, {"framing", [&] { ws.FrameFace(); }},
            {"step", [&] { ws.BeginStep(); }},  {"step's end", [&] { ws.EndStep(); }},
            {"read", [&] { ws.ApplyRead(Found(Pattern(300, 400))); }}};
        for (const auto& [name, change] : changes) {
            ws.JudgeFrame();
            change();
            QVERIFY2(ws.VerdictStale(), name);
        }
        // A click that moves nothing changes nothing.
        ws.JudgeFrame();
        Drag(ws, QStringLiteral("p5,5 r"));
        QVERIFY(!ws.VerdictStale());
        // A step hides the verdict, and an answer asked before it is dropped.
        ws.JudgeFrame();
        const FaceRequest request = ws.FaceToCheck();
        ws.BeginStep();
        ws.JudgeFrame();
        QVERIFY(!ws.Verdict().shown && !ws.AnswerFace(request.generation, Prepared({}, {QRect(1, 1, 9, 9)})));
    }

    void upload() {
        PhotoWorkspace ws;
        ws.ApplyRead(Found(Pattern(200, 280, qRgb(20, 50, 210))));
        ws.Crop();
        QCOMPARE(ws.ApplyUpload(Prepared({}, {}, std::make_exception_ptr(photo::JpegError(3)))).outcome, Outcome::Failure);
        QCOMPARE(ws.ApplyUpload(Prepared("jpeg", {QRect(1, 1, 9, 9)})).jpeg, QByteArray("jpeg"));
        QVERIFY(!ws.ResultPhoto().isNull());
        QCOMPARE(ws.ApplyUpload(Prepared("jpeg", {})).outcome, Outcome::NoFaceInResult);
        QVERIFY(ws.ResultPhoto().isNull());

        QTemporaryDir dir;
        const Result saved = PhotoWorkspace::Save(dir.filePath(QStringLiteral("a.JPG.x")), "jpeg");
        QCOMPARE(saved.outcome, Outcome::Saved);
        QCOMPARE(saved.savedName, dir.filePath(QStringLiteral("a.JPG.x.jpg")));
        const Result failed = PhotoWorkspace::Save(dir.filePath(QStringLiteral("gone/a")), "jpeg");
        QCOMPARE(failed.outcome, Outcome::Failure);
        QVERIFY_THROWS_EXCEPTION(upload::FileError, std::rethrow_exception(failed.failure));
    }
};

QTEST_GUILESS_MAIN(TestWorkspace)
#include "test_workspace.moc"
