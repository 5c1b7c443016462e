// SPDX-License-Identifier: GPL-3.0-or-later
// The window's wiring: layout, focus and keys, each control running its
// handler, each outcome's box, and one round trip through Qt's own dialogs.
#include <QApplication>
#include <QDesktopServices>
#include <future>
#include <QDirIterator>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "heads.h"
#include "face/face_check.h"
#include "photo/file_reader.h"
#include "texts/texts.h"
#include "ui/scripted_dialogs.h"
#include "ui/batch/batch_window.h"
#include "ui/window/app_setup.h"
#include "ui/window/command_line.h"
#include "ui/window/main_window.h"
#include "ui/window/paint_once.h"
#include "ui/window/picture_preview.h"

namespace {

QString Data(const char* name) {
    return QStringLiteral(EXAM_TESTDATA_DIR "/") + QLatin1String(name);
}

// A column of the current row, as an expression.
#define FETCH(Type, name) (*static_cast<Type*>(QTest::qData(#name, ::qMetaTypeId<Type>())))

// Waits until the window's long step, if any, has ended.
void Settle(TForm1& form) {
    QTRY_VERIFY(!form.findChild<LongStep*>()->Running());
}

struct Window {
    ScriptedDialogs* user = new ScriptedDialogs;
    TForm1 form{std::unique_ptr<UserDialogs>(user)};
    Window() {
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
    }
    template <typename T = QWidget>
    T* Get(const char* name) { return form.findChild<T*>(QLatin1String(name)); }
    QString LastText() const { return user->messages.isEmpty() ? QString() : user->messages.last().text; }
    void Read(const QString& path) {
        user->openAnswers = {path};
        QTest::keyClick(Get("RzBmpButton1"), Qt::Key_Space);
        Settle(form);
    }
    void Click(const char* name) {
        QTest::mouseClick(Get(name), Qt::LeftButton);
        Settle(form);
    }
    // A press, moves and a release of the left button on the working photo, in viewport points.
    void DragInViewport(QPoint from, QPoint to) {
        QWidget* viewport = Get("ScrollBox1");
        QWidget* target = viewport->childAt(from);
        QTest::mousePress(target, Qt::LeftButton, {}, target->mapFrom(viewport, from));
        QMouseEvent move(QEvent::MouseMove, target->mapFrom(viewport, to), target->mapToGlobal(target->mapFrom(viewport, to)),
                         Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(target, &move);
        QTest::mouseRelease(target, Qt::LeftButton, {}, target->mapFrom(viewport, to));
    }
};

struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

// Runs `act` on the next modal widget of type T once it is open.
template <typename T>
void WhenModal(std::function<void(T*)> act) {
    QTimer::singleShot(20, [act] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget()))
            act(w);
        else
            WhenModal<T>(act);
    });
}

// The batch window's list, a row's columns joined by "|".
QStringList Listed(const QTreeWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows << item->text(0) + '|' + item->text(1) + '|' + item->text(2);
    }
    return rows;
}

QStringList Sorted(QStringList rows) {
    rows.sort();
    return rows;
}

// A double-click as the mouse gives it: a click, then the second press.
void DoubleClick(QTreeWidget* list, const QString& file) {
    const QPoint at = list->visualItemRect(list->findItems(file, Qt::MatchExactly).value(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
}

// The main windows open.
QList<TForm1*> MainWindows() {
    QList<TForm1*> forms;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<TForm1*>(w))
            forms << form;
    return forms;
}

// The list's photo that needs a person and has a face, opened from the
// batch window twice: each main window reads it and would save it as its
// upload. A photo without a face opens nothing.
void OpenFromList(BatchWindow& window, const QString& upload) {
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    DoubleClick(window.Photos, QStringLiteral("p9.jpg"));
    QVERIFY(MainWindows().isEmpty());
    QList<TForm1*> opened;
    for (int n = 1; n <= 2; ++n) {
        DoubleClick(window.Photos, QStringLiteral("close.jpg"));
        QList<TForm1*> open = MainWindows();
        QCOMPARE(open.size(), n);
        for (TForm1* before : opened)
            open.removeOne(before);
        TForm1* form = opened.emplace_back(open.value(0));
        Settle(*form);
        QCOMPARE(form->Image1->geometry(), QRect(8, 0, 300, 400));
        QCOMPARE(form->SaveStart(), QDir(upload).filePath(QStringLiteral("close.jpg")));
    }
    const std::unique_ptr<QFileDialog> save = MakePictureDialog(nullptr, true, opened[0]->SaveStart());
    QCOMPARE(save->directory().absolutePath(), QDir(upload).absolutePath());
    QCOMPARE(save->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text(), QStringLiteral("close.jpg"));
    // 退出! closes one of them alone, and the application goes on.
    QTest::mouseClick(opened[0]->RzBmpButton4, Qt::LeftButton);
    QTRY_COMPARE(MainWindows(), QList<TForm1*>{opened[1]});
    QVERIFY(window.isVisible());
    opened[1]->close();
    QTRY_VERIFY(MainWindows().isEmpty());
    QCOMPARE(lastClosed.count(), 0);
}

}  // namespace

// Takes the place of the desktop's browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QUrl url;
public slots:
    void open(const QUrl& opened) { url = opened; }
};

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    // Every control's place in the window, as the layout gives it.
    void layout_data() {
        QTest::addColumn<QRect>("rect");
        const std::pair<const char*, QRect> rows[] = {
            {"Panel6", {0, 0, 831, 518}},      {"Image3", {1, 1, 829, 73}},        {"StatusBar1", {1, 493, 829, 24}},
            {"Panel2", {1, 74, 829, 419}},     {"Panel3", {1, 74, 252, 419}},      {"Panel7", {6, 79, 242, 100}},
            {"RzBmpButton1", {16, 82, 110, 33}}, {"Label2", {14, 122, 48, 12}},    {"Label3", {178, 123, 72, 12}},
            {"RzTrackBar1", {6, 135, 241, 38}}, {"ScrollBox1", {6, 179, 242, 309}}, {"Image1", {14, 179, 241, 289}},
            {"Shape1", {27, 193, 200, 280}},   {"RzLine1", {15, 184, 220, 20}},    {"RzLine2", {15, 464, 220, 20}},
            {"RzLine3", {16, 183, 20, 301}},   {"RzLine4", {217, 183, 20, 301}},   {"Panel4", {253, 74, 577, 419}},
            {"Image4", {242, 255, 347, 169}},  {"Shape2", {602, 118, 204, 284}},   {"Panel5", {604, 120, 200, 280}},
            {"Image2", {604, 120, 200, 280}},  {"RzBmpBtnSave", {573, 423, 110, 33}}, {"RzBmpButton3", {365, 222, 85, 33}},
            {"RzBmpButton4", {725, 415, 84, 50}}, {"RzRichEdit2", {269, 120, 297, 81}}};
        for (const auto& [name, rect] : rows)
            QTest::newRow(name) << rect;
    }
    void layout() {
        Window w;
        QFETCH(QRect, rect);
        QWidget* control = w.Get(QTest::currentDataTag());
        QVERIFY(control);
        QCOMPARE(QRect(control->mapTo(&w.form, QPoint(0, 0)), control->size()), rect);
        QCOMPARE(w.form.size(), QSize(831, 518));
        QVERIFY(!w.Get("Shape1")->isVisible() && w.Get("Placeholder")->isVisible());
    }

    void focusAndKeys() {
        Window w;
        auto* slider = w.Get<ZoomSlider>("RzTrackBar1");
        QCOMPARE(QApplication::focusWidget(), w.Get("RzBmpButton1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // Enter at start opens the open dialog
        QCOMPARE(w.user->openCount, 1);
        // Tab wraps from the requirements text to the read button, past the disabled slider.
        const char* order[] = {"RzBmpBtnSave", "RzBmpButton3", "RzBmpButton4", "RzRichEdit2", "RzBmpButton1"};
        for (const char* name : order) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), w.Get(name));
        }
        w.Read(Data("workflow/portrait_400x500.jpg"));
        QVERIFY(slider->isEnabled());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), slider);
        QSignalSpy changes(slider, &ZoomSlider::changed);
        const std::pair<Qt::Key, int> keys[] = {{Qt::Key_Right, 1}, {Qt::Key_Up, 2}, {Qt::Key_PageUp, 3},
                                                {Qt::Key_Left, 2},  {Qt::Key_Down, 1}, {Qt::Key_PageDown, 0},
                                                {Qt::Key_End, 20},  {Qt::Key_Right, 20}, {Qt::Key_Home, -20}};
        for (const auto& [key, position] : keys) {
            QTest::keyClick(slider, key);
            QCOMPARE(slider->Position(), position);
        }
        QCOMPARE(changes.count(), 8);  // the Right at 20 changes nothing
        QTest::keyClick(slider, Qt::Key_Plus, Qt::KeypadModifier);
        QTest::keyClick(slider, Qt::Key_Plus, Qt::KeypadModifier);
        QTest::keyClick(slider, Qt::Key_Minus, Qt::KeypadModifier);
        QCOMPARE(slider->Position(), -19);
    }

    // A left press on the track steps at once, after 200 ms and then every 100 ms.
    void sliderTrackAndThumb() {
        Window w;
        w.Read(Data("workflow/portrait_400x500.jpg"));
        auto* slider = w.Get<ZoomSlider>("RzTrackBar1");
        QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(slider->width() - 8, slider->height() / 2));
        QCOMPARE(slider->Position(), 1);
        QCOMPARE(slider->PendingRepeatMs(), 200);
        QTRY_COMPARE(slider->Position(), 2);
        QCOMPARE(slider->PendingRepeatMs(), 100);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() - 8, slider->height() / 2));
        QCOMPARE(slider->PendingRepeatMs(), -1);
        // The thumb's place maps onto the range with halves to even.
        QCOMPARE(slider->PositionForThumbLeft(slider->ThumbLeftFor(7)), 7);
        QCOMPARE(slider->PositionForThumbLeft(-50), -20);
        QCOMPARE(slider->ThumbLeftFor(-20), ZoomSlider::kMargin);
        ZoomSlider halves(nullptr);
        halves.resize(101, 38);  // 80 pixels of travel: two to a step
        QCOMPARE(halves.PositionForThumbLeft(ZoomSlider::kMargin + 5), -18);  // 2.5 steps
    }

    void buttonsAndLink() {
        Window w;
        auto* crop = w.Get("RzBmpButton3");
        QTest::mousePress(crop, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseRelease(crop, Qt::LeftButton, {}, QPoint(-5, -5));
        QVERIFY(w.user->messages.isEmpty());
        QCOMPARE(QApplication::focusWidget(), crop);
        QTest::mouseClick(crop, Qt::LeftButton);
        QCOMPARE(w.LastText(), QStringLiteral("请先读取照片！"));
        QTest::keyPress(crop, Qt::Key_Space);
        QCOMPARE(w.user->messages.size(), 1);  // Space clicks on its release
        QTest::keyRelease(crop, Qt::Key_Space);
        QCOMPARE(w.user->messages.size(), 2);
        QTest::mouseClick(w.Get("Label3"), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(w.user->messages.size(), 3);
        QCOMPARE(w.user->messages.last().caption, QStringLiteral("错误提示"));
        QCOMPARE(w.user->messages.last().flags, texts::MB_ICONERROR);
        auto* status = w.Get<StatusPanes>("StatusBar1");
        QVERIFY(status->PaneRect(2).isEmpty());  // the release month is cut off
        QTest::mouseClick(w.Get("RzBmpButton4"), Qt::LeftButton);
        QVERIFY(!w.form.isVisible());
    }

    // Read, drag, crop and save with a scripted user; the guide lines take presses near them.
    void workflow() {
        Window w;
        QTemporaryDir dir;
        w.Read(Data("workflow/studio_blue.jpg"));
        QVERIFY2(w.user->messages.isEmpty(), qPrintable(w.LastText()));
        auto* photo = w.Get("Image1");
        QCOMPARE(photo->geometry(), QRect(8, 0, 300, 400));
        w.DragInViewport({100, 15}, {60, 15});  // on the top guide line: no drag
        QCOMPARE(photo->pos(), QPoint(8, 0));
        w.DragInViewport({22, 100}, {0, 100});  // on the left guide line
        QCOMPARE(photo->pos(), QPoint(8, 0));
        w.DragInViewport({100, 19}, {90, 19});
        QCOMPARE(photo->pos(), QPoint(-2, 0));
        w.DragInViewport({24, 100}, {34, 110});
        QCOMPARE(photo->pos(), QPoint(8, 10));
        QTest::mouseClick(w.Get("RzBmpButton3"), Qt::LeftButton);
        QVERIFY(!w.Get("Placeholder")->isVisible());
        QCOMPARE(w.Get<PictureBox>("Image2")->Picture().size(), QSize(200, 280));
        w.user->saveAnswers = {dir.filePath(QStringLiteral("photo")), dir.filePath(QStringLiteral("again"))};
        w.Click("RzBmpBtnSave");
        QCOMPARE(w.LastText(), QStringLiteral("请注意：您生成的照片文件为：") + dir.filePath(QStringLiteral("photo.jpg")));
        w.Click("RzBmpBtnSave");
        // The same photo saved twice: the same JPEG data, each with a tag of its own.
        const QByteArray first = photo::ReadWholeFile(dir.filePath(QStringLiteral("photo.jpg")));
        const QByteArray again = photo::ReadWholeFile(dir.filePath(QStringLiteral("again.jpg")));
        QVERIFY(first.size() > 1000 && first.chopped(9) == again.chopped(9) && first.right(9) != again.right(9));
        // A failure the handler does not catch is reported under the application title.
        w.user->saveAnswers = {dir.filePath(QStringLiteral("gone/photo"))};
        w.Click("RzBmpBtnSave");
        QCOMPARE(w.user->messages.last().caption, texts::kAppTitle);
        QVERIFY(w.LastText().startsWith(QStringLiteral("Cannot create file")));
        // A slider step re-renders and places the photo as the workspace has it.
        w.Get<ZoomSlider>("RzTrackBar1")->SetPosition(-10);
        QCOMPARE(photo->geometry(), QRect(46, 54, 150, 200));
        QTest::mouseClick(w.Get("Label3"), Qt::LeftButton, {}, QPoint(5, 5));  // back to the natural size
        QCOMPARE(photo->geometry(), QRect(46, 54, 300, 400));
        // A refused read: its box, and the result photo emptied.
        w.Read(Data("workflow/no_face.jpg"));
        QCOMPARE(w.LastText(), QStringLiteral("请选择标准照照片！"));
        QVERIFY(w.Get("Placeholder")->isVisible());
        // A hostile file gets its box, and the window goes on.
        w.Read(Data("hostile/scans_2500.jpg"));
        QCOMPARE(w.LastText(), QStringLiteral("照片不是JPG文件或格式错误，不能进行处理！"));
        w.Read(Data("workflow/studio_blue.jpg"));
        QCOMPARE(w.user->messages.size(), 5);
        // The reset link with the slider at 0 still zooms and centres a photo that fits.
        w.Read(Data("workflow/portrait_241x250.jpg"));
        w.DragInViewport({100, 100}, {90, 95});
        QCOMPARE(photo->pos(), QPoint(-10, 44));
        QTest::mouseClick(w.Get("Label3"), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(photo->pos(), QPoint(0, 30));
    }

    // After a refused read the slider is back at 0; a photo refused for its
    // face goes, any other refused file leaves the photo on view. With no
    // face known, the second press of a quick pair starts a drag.
    void refusedRead_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("photoStays");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QPoint>("dragged");
        QTest::newRow("too small") << Data("workflow/small.jpg") << true << QPoint(8, 0) << QPoint(-2, -5);
        QTest::newRow("not a JPEG") << Data("workflow/not_a_jpeg.jpg") << true << QPoint(8, 0) << QPoint(-2, -5);
        // Shown centred, then taken away: the control keeps its place.
        QTest::newRow("no face") << Data("workflow/no_face.jpg") << false << QPoint(1, 34) << QPoint(-9, 54);
    }
    void refusedRead() {
        Window w;
        w.Read(Data("workflow/portrait_400x500.jpg"));
        auto* slider = w.Get<ZoomSlider>("RzTrackBar1");
        slider->SetPosition(4);
        w.Read(FETCH(QString, file));
        QCOMPARE(slider->Position(), 0);
        QTest::mouseClick(w.Get("RzBmpButton3"), Qt::LeftButton);
        QCOMPARE(w.Get<PictureBox>("Image2")->HasPicture(), FETCH(bool, photoStays));
        auto* photo = w.Get("Image1");
        QCOMPARE(photo->pos(), FETCH(QPoint, at));
        QTest::mouseClick(photo, Qt::LeftButton, {}, QPoint(50, 50));
        QMouseEvent second(QEvent::MouseButtonDblClick, QPointF(50, 50), photo->mapToGlobal(QPointF(50, 50)),
                           Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(photo, &second);
        QMouseEvent move(QEvent::MouseMove, QPointF(40, 45), photo->mapToGlobal(QPointF(40, 45)), Qt::NoButton,
                         Qt::LeftButton, {});
        QApplication::sendEvent(photo, &move);
        QCOMPARE(photo->pos(), FETCH(QPoint, dragged));
    }

    // A double-click frames the head where the window's requirements want
    // it: the line says so and the frame shows the head's lines, in one step.
    void framing() {
        Window w;
        QTemporaryDir dir;
        auto* status = w.Get<StatusPanes>("StatusBar1");
        auto* marks = w.Get<FrameMarks>("Marks");
        QTest::mouseDClick(w.Get("Image1"), Qt::LeftButton);  // nothing to frame
        QCOMPARE(w.Get("Image1")->pos(), QPoint(8, 0));
        const QString photo = dir.filePath(QStringLiteral("portrait.jpg"));
        QVERIFY(heads::MakePortrait(QSize(500, 600), 250, 100, 200, heads::kBrownOnRed).photo.save(photo, "JPEG", 95));
        w.Read(photo);
        QVERIFY2(w.user->messages.isEmpty(), qPrintable(w.LastText()));
        QTRY_COMPARE(status->PaneText(1), texts::kVerdictNoFace + texts::kHintSeparator + texts::kFramingHint);
        // One step: nothing is painted on the way, at the zoom before the place.
        PaintCounter painted;
        w.Get("Image1")->installEventFilter(&painted);
        QTest::mouseDClick(w.Get("Image1"), Qt::LeftButton, {}, QPoint(100, 100));
        QCOMPARE(painted.paints, 0);
        QTRY_COMPARE(status->PaneText(1), texts::kVerdictHeadFits + texts::kHintSeparator + texts::kFramingHint);
        QCOMPARE(marks->Lines().size(), 7);
        QCOMPARE(marks->Lines().front().style, base::MarkLine::Wanted);
        QMouseEvent move(QEvent::MouseMove, QPointF(50, 50), QPointF(50, 50), Qt::NoButton, Qt::NoButton, {});
        const QPoint framed = w.Get("Image1")->pos();
        QApplication::sendEvent(w.Get("Image1"), &move);
        QCOMPARE(w.Get("Image1")->pos(), framed);
        // While the mouse is held, no head is known and no line is drawn.
        QTest::mousePress(w.Get("Image1"), Qt::LeftButton, {}, QPoint(100, 100));
        QMouseEvent drag(QEvent::MouseMove, QPointF(100, 90), w.Get("Image1")->mapToGlobal(QPointF(100, 90)),
                         Qt::NoButton, Qt::LeftButton, {});
        QApplication::sendEvent(w.Get("Image1"), &drag);
        QVERIFY(marks->Lines().isEmpty());
        QTest::mouseRelease(w.Get("Image1"), Qt::LeftButton, {}, QPoint(100, 90));
        QTRY_COMPARE(marks->Lines().size(), 7);
        w.Read(Data("workflow/no_face.jpg"));
        QCOMPARE(status->PaneText(1), QString());
        QVERIFY(marks->Lines().isEmpty());
        // The framing's hold on the painting ends also when a failure passes through.
        try {
            const PaintOnce paint(&w.form);
            throw std::bad_alloc();
        } catch (const std::bad_alloc&) {
        }
        QVERIFY(w.form.updatesEnabled());
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("file");
        QTest::newRow("none") << QStringList{} << 0 << "";
        QTest::newRow("first of two") << QStringList{"证件 照.jpg", "b.jpg"} << 0 << "证件 照.jpg";
        QTest::newRow("Qt's options") << QStringList{"-platform", "xcb", "-style=Fusion", "-reverse", "a.jpg"} << 0 << "a.jpg";
        QTest::newRow("after --") << QStringList{"--", "-a.jpg"} << 0 << "-a.jpg";
        QTest::newRow("-h") << QStringList{"a.jpg", "-h"} << 1 << "";
        QTest::newRow("--help") << QStringList{"--help"} << 1 << "";
        QTest::newRow("unknown") << QStringList{"-x", "a.jpg"} << 2 << "";
        QTest::newRow("--unknown") << QStringList{"--platforms"} << 2 << "";
        QTest::newRow("-") << QStringList{"-"} << 2 << "";
        // A batch: the file column reads "INPUT|OUTPUT|jobs|redo|names".
        QTest::newRow("batch") << QStringList{"--batch", "照片 a", "b", "--jobs=3", "--redo", "--names", "名单.csv"} << 3
                               << "照片 a|b|3|1|名单.csv";
        QTest::newRow("batch window") << QStringList{"--batch"} << 3 << "||0|0|";
        QTest::newRow("--names none") << QStringList{"--batch", "a", "b", "--names"} << 2 << "";
        QTest::newRow("batch, one folder") << QStringList{"--batch", "a"} << 2 << "";
        QTest::newRow("--redo alone") << QStringList{"a.jpg", "--redo"} << 2 << "";
        QTest::newRow("--jobs none") << QStringList{"--batch", "a", "b", "--jobs"} << 2 << "";
    }
    void commandLine() {
        QFETCH(QStringList, arguments);
        const CommandLine line = ParseCommandLine(arguments);
        QCOMPARE(int(line.action), FETCH(int, action));
        QCOMPARE(line.action == CommandLine::Action::Batch
                     ? QStringLiteral("%1|%2|%3|%4|%5").arg(line.input, line.output).arg(line.jobs).arg(line.redo).arg(line.names)
                     : line.file,
                 FETCH(QString, file));
    }

    // A local file dropped anywhere is read; a folder or a second file is not what counts.
    void drop_data() {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("message");
        QTest::newRow("photo") << QStringList{Data("workflow/studio_blue.jpg")} << true << "";
        QTest::newRow("two files") << QStringList{Data("workflow/no_face.jpg"), Data("workflow/studio_blue.jpg")}
                                   << true << "请选择标准照照片！";
        QTest::newRow("folder") << QStringList{Data("workflow")} << false << "";
        QTest::newRow("web page") << QStringList{"https://example.org/a.jpg"} << false << "";
    }
    void drop() {
        QFETCH(QStringList, items);
        QFETCH(bool, accepted);
        Window w;
        QList<QUrl> urls;
        for (const QString& item : items)
            urls << (item.startsWith(QLatin1String("https")) ? QUrl(item) : QUrl::fromLocalFile(item));
        QMimeData data;
        data.setUrls(urls);
        QWidget* viewport = w.Get("ScrollBox1");
        const QPoint at = viewport->mapTo(&w.form, QPoint(100, 100));
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&w.form, &enter);
        QCOMPARE(enter.isAccepted(), accepted);
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&w.form, &dropped);
        auto* slider = w.Get<ZoomSlider>("RzTrackBar1");
        if (accepted)
            QTRY_VERIFY(slider->isEnabled());  // the read has run
        QTest::qWait(20);
        QCOMPARE(slider->isEnabled(), accepted);
        QCOMPARE(w.LastText(), FETCH(QString, message));
    }

    // The verdict follows the frame and is the status bar's accessible name;
    // a face answer about an earlier frame never replaces a newer verdict.
    void liveVerdict() {
        // Each request waits for its own release; `entered` counts arrivals.
        std::promise<void> first, second;
        std::atomic<int> entered{0};
        Window w;
        // Should a check fail, the held requests still end, so that the window can.
        const auto release = qScopeGuard([&] {
            for (std::promise<void>* p : {&first, &second})
                try {
                    p->set_value();
                } catch (const std::future_error&) {
                }
        });
        const QString hint = texts::kHintSeparator + texts::kFramingHint;
        auto* status = w.Get<StatusPanes>("StatusBar1");
        w.Read(Data("workflow/studio_blue.jpg"));
        // The head in a light rectangle: not measured, and the cause is seen
        // whole while the framing hint gives way.
        const QString unsure = texts::kVerdictHeadUnsure.arg(texts::kHeadDoubtObject);
        QTRY_COMPARE(status->accessibleName(), unsure + hint);
        QCOMPARE(status->PaneText(1), unsure);
        w.form.findChild<FaceVerdicts*>()->gate = [&, a = first.get_future().share(), b = second.get_future().share()] {
            (++entered == 1 ? a : b).wait();
        };
        w.DragInViewport({100, 100}, {101, 100});  // a frame with the face, held
        QTRY_COMPARE(entered.load(), 1);
        QCOMPARE(status->PaneText(1), texts::kVerdictChecking + hint);
        w.Get<ZoomSlider>("RzTrackBar1")->SetPosition(20);
        w.DragInViewport({100, 100}, {-287, -406});  // onto the lowest limits: only blue
        first.set_value();
        QTRY_COMPARE(entered.load(), 2);
        QCoreApplication::processEvents();  // the first answer, already on its way
        QCOMPARE(status->accessibleName(), texts::kVerdictChecking + hint);
        second.set_value();
        QTRY_COMPARE(status->accessibleName(), texts::kVerdictNoFace + hint);
        QCOMPARE(status->PaneText(1), status->accessibleName());
        // A request that fails still ends in an answer, which says why.
        w.form.findChild<FaceVerdicts*>()->gate = [] { throw std::bad_alloc(); };
        QTest::mouseDClick(w.Get("Image1"), Qt::LeftButton, {}, QPoint(100, 100));
        QTRY_COMPARE(status->accessibleName(), QStringLiteral("无法检测相框内的人像：这台电脑的内存不够") + hint);
    }

    // Every verdict is seen whole in its pane, with its longest finding
    // where the face part has found one (a refused wall has none).
    void verdictSeenWhole() {
        Window w;
        auto* status = w.Get<StatusPanes>("StatusBar1");
        for (const QString& wall : {texts::kVerdictBackground, texts::kVerdictBottomEdge, texts::kVerdictGreyWall,
                                    texts::kVerdictPaleBlue, texts::kVerdictPaleRed, texts::kVerdictColoursPass})
            QVERIFY2(status->Fits(1, wall), qPrintable(wall));
        QStringList words{texts::kVerdictHeadFits};
        for (const QString* side : {texts::kHeadNear, texts::kHeadFar, texts::kHeadTouches})
            for (int i = 0; i < 3; ++i)
                words << texts::kVerdictHeadMisplaced.arg(side[i]);
        for (const QString& cause : {texts::kHeadDoubtHair, texts::kHeadDoubtObject, texts::kHeadDoubtNoTop})
            words << texts::kVerdictHeadUnsure.arg(cause);
        for (const QString& line : words)
            QVERIFY2(status->Fits(1, line + texts::kHint.arg(texts::kFindingUneven)), qPrintable(line));
    }

    // While a step runs the window repaints and shows its progress but takes
    // no input; a close ends it with no dialog or box of the step.
    void busyWindow() {
        Window w;
        w.Read(Data("workflow/studio_blue.jpg"));
        w.Click("RzBmpButton3");
        auto* step = w.form.findChild<LongStep*>();
        std::promise<void> opened;
        step->gate = [latch = opened.get_future().share()] { latch.wait(); };
        w.user->saveAnswers = {QStringLiteral("/nonexistent/up")};
        QTest::mouseClick(w.Get("RzBmpBtnSave"), Qt::LeftButton);
        QVERIFY(step->Running());
        const QRect placed = w.Get("Image1")->geometry();
        QTest::mouseDClick(w.Get("Image1"), Qt::LeftButton, {}, QPoint(100, 100));
        for (const char* button : {"RzBmpButton1", "RzBmpButton3", "RzBmpButton4"})
            QTest::mouseClick(w.Get(button), Qt::LeftButton);
        w.Get("RzBmpButton1")->setFocus();
        QTest::keyClick(w.Get("RzBmpButton1"), Qt::Key_Return);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(Data("workflow/no_face.jpg"))});
        QDropEvent dropped(QPoint(100, 300), Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(&w.form, &dropped);
        QTRY_COMPARE(w.Get<StatusPanes>("StatusBar1")->PaneText(1), texts::kEncodingProgress);
        w.form.close();
        PaintCounter painted;
        QTest::qWait(50);
        QVERIFY(w.form.isVisible() && w.user->messages.isEmpty() && w.user->openCount == 1);
        QCOMPARE(w.Get("Image1")->geometry(), placed);
        w.Get("Image1")->installEventFilter(&painted);
        w.Get("Image1")->update();
        QTRY_VERIFY(painted.paints > 0);
        opened.set_value();
        Settle(w.form);
        QVERIFY(w.user->messages.isEmpty() && w.user->saveAnswers.size() == 1);
        QVERIFY(!w.form.isVisible());
    }

    // The batch window runs a folder off its own thread with the options
    // of its fields, lists each photo as it ends and opens its report; one
    // that needs a person opens in a main window of its own, whose save goes
    // to its upload. Closed during a run, it stops the run first.
    void batchWindow() {
        QTemporaryDir in, out;
        const QImage photo = heads::MakePortrait(QSize(1200, 1600), 600, 300, 500, heads::kDarkOnBlue).photo;
        for (int i = 0; i < 6; ++i)
            QVERIFY(photo.save(in.filePath(QStringLiteral("p%1.jpg").arg(i)), "JPEG", 92));
        QVERIFY(QFile::copy(Data("workflow/no_face.jpg"), in.filePath(QStringLiteral("p9.jpg"))));
        const QImage close = heads::MakePortrait(QSize(300, 400), 150, 80, 270, heads::kDarkOnBlue).photo;
        QVERIFY(close.save(in.filePath(QStringLiteral("close.jpg")), "JPEG", 95));
        const QString upload = out.filePath(QStringLiteral("上传"));
        BatchWindow window({in.path(), upload, {}});
        window.show();
        window.Jobs->setValue(3);
        QSignalSpy finished(&window, &BatchWindow::finished);
        QTest::mouseClick(window.StartButton, Qt::LeftButton);
        QVERIFY(!window.StartButton->isEnabled() && window.StopButton->isEnabled());
        QVERIFY(finished.wait(120000));
        QCOMPARE(window.RunOptions().jobs, 3);
        QCOMPARE(window.Progress->value(), 8);
        QCOMPARE(window.Outcome->text(), texts::kBatchCounts.arg(8).arg(6).arg(2).arg(0).arg(0));
        QStringList rows{"close.jpg|需人工检查|" + texts::kBatchNoRoom};
        for (int i = 0; i < 6; ++i)
            rows << QStringLiteral("p%1.jpg|通过|").arg(i);
        rows << "p9.jpg|需人工检查|" + texts::kTeacherNoFace;
        QCOMPARE(Sorted(Listed(window.Photos)), rows);
        UrlCatcher opened;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
        QTest::mouseClick(window.OpenReport, Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(opened.url, QUrl::fromLocalFile(out.filePath(QStringLiteral("上传/批量处理报告.html"))));

        OpenFromList(window, upload);
        if (QTest::currentTestFailed())
            return;

        // Again, redone rather than kept: the list anew, the same results.
        window.Redo->setChecked(true);
        QTest::mouseClick(window.StartButton, Qt::LeftButton);
        QVERIFY(finished.wait(120000));
        QCOMPARE(Sorted(Listed(window.Photos)), rows);

        // Again, with every photo made anew under a roster's names, and
        // closed at once: its row without a photo comes last.
        QDir(upload).removeRecursively();
        QFile roster(out.filePath(QStringLiteral("名单.csv")));
        QVERIFY(roster.open(QIODevice::WriteOnly));
        roster.write("p0,a0\np1,a1\np2,a2\np3,a3\np4,a4\np5,a5\np9,a9\nclose,c\n缺席,d\n");
        roster.close();
        window.RosterFile->setText(roster.fileName());
        QTest::mouseClick(window.StartButton, Qt::LeftButton);
        window.close();
        QVERIFY(window.isVisible());
        QVERIFY(finished.wait(120000));
        QVERIFY(!window.isVisible());
        QVERIFY(window.Outcome->text().endsWith(texts::kBatchStopped));
        QCOMPARE(Listed(window.Photos).value(window.Photos->topLevelItemCount() - 1),
                 texts::kBatchRosterRow.arg(9).arg("缺席") + "||" + texts::kBatchRowWithoutPhoto);
    }

    // Qt's own dialogs and boxes; the tool stores no settings of theirs.
    void realDialogs() {
        QTemporaryDir dir;
        TForm1 form;
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        QStringList seen;
        WhenModal<QFileDialog>([&](QFileDialog* d) {
            seen << d->windowTitle() << d->nameFilters().join('|') << d->directory().absolutePath();
            auto* preview = d->findChild<PicturePreview*>();
            preview->ShowFile(Data("workflow/studio_blue.jpg"));
            seen << preview->SizeText();
            preview->ShowFile(Data("hostile/scans_2500.jpg"));
            seen << QString::number(preview->HasPicture());
            d->setDirectory(Data("workflow"));  // the user browses there
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(Data("workflow/studio_blue.jpg"));
            QMetaObject::invokeMethod(d, "accept");
        });
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        Settle(form);
        QCOMPARE(seen, (QStringList{texts::kOpenTitle, texts::kJpegFilter, QDir::currentPath(), "300 x 400 像素", "0"}));
        QTest::mouseClick(form.findChild<QWidget*>(QStringLiteral("RzBmpButton3")), Qt::LeftButton);
        WhenModal<QFileDialog>([&](QFileDialog* d) {
            seen << d->windowTitle() << QString::number(d->testOption(QFileDialog::DontConfirmOverwrite))
                 << d->directory().absolutePath();
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(dir.filePath(QStringLiteral("up")));
            QMetaObject::invokeMethod(d, "accept");
            WhenModal<QMessageBox>([&](QMessageBox* box) {
                seen << box->windowTitle() << box->text() << QString::number(box->icon());
                box->accept();
            });
        });
        QTest::mouseClick(form.findChild<QWidget*>(QStringLiteral("RzBmpBtnSave")), Qt::LeftButton);
        Settle(form);
        QCOMPARE(seen.mid(5), (QStringList{texts::kSaveTitle, "1", QDir::currentPath(), "信息提示",
                                           "请注意：您生成的照片文件为：" + dir.filePath("up.jpg"),
                                           QString::number(QMessageBox::Information)}));
        QVERIFY(QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
    }
};

int main(int argc, char** argv) {
    // Qt's settings go to a scratch folder, emptied first: never the user's
    // own, nor (run by hand, without one) the current folder.
    QTemporaryDir scratch;
    if (qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME"))
        qputenv("XDG_CONFIG_HOME", scratch.filePath(QStringLiteral("xdg-config")).toLocal8Bit());
    QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).removeRecursively();
    QApplication app(argc, argv);
    SetUpApplication(app);
    TestWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window.moc"
