// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/window/main_window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QScreen>

#include "ui/window/failure_report.h"
#include "ui/controls/panel.h"
#include "ui/window/window_font.h"
#include "texts/texts.h"

// Resources of a static library are not linked in unless asked for.
static void InitPictures() {
    Q_INIT_RESOURCE(pictures);
}

namespace {

const QColor kWhite(255, 255, 255);
const QColor kGrey(128, 128, 128);
const QColor kRed(255, 0, 0);
const QColor kLightYellow(255, 255, 128);
const QColor kOrange(200, 90, 0);

// Named as PNG, so that Qt does not load every image plugin to guess.
QImage Picture(const QString& name) {
    QImageReader reader(QStringLiteral(":/pictures/") + name, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

// Placement of aligned children inside a parent's client area: each call
// takes a strip from what the earlier ones left.
class Aligner {
public:
    Aligner(const QWidget* parent, int edge) : rest_(parent->rect().adjusted(edge, edge, -edge, -edge)) {}
    QRect Top(int height) {
        QRect r(rest_.left(), rest_.top(), rest_.width(), height);
        rest_.setTop(rest_.top() + height);
        return r;
    }
    QRect Bottom(int height) {
        QRect r(rest_.left(), rest_.bottom() + 1 - height, rest_.width(), height);
        rest_.setBottom(rest_.bottom() - height);
        return r;
    }
    QRect Left(int width) {
        QRect r(rest_.left(), rest_.top(), width, rest_.height());
        rest_.setLeft(rest_.left() + width);
        return r;
    }
    QRect Client() const { return rest_; }

private:
    QRect rest_;
};

void SetTextColour(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colour);
    w->setPalette(pal);
}

}  // namespace

TForm1::TForm1(std::unique_ptr<UserDialogs> dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), Dialogs(std::move(dialogs)) {
    InitPictures();
    if (!Dialogs)
        Dialogs = MakeQtDialogs();
    setWindowTitle(texts::kAppTitle);
    setWindowIcon(QIcon(QPixmap::fromImage(Picture(QStringLiteral("icon.png")))));
    setFont(WindowFont(12));
    setFixedSize(831, 518);
    setAcceptDrops(true);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect desk = screen->availableGeometry();
        move(desk.left() + (desk.width() - width()) / 2, desk.top() + (desk.height() - height()) / 2);
    }
    BuildControls();
    NameControls();
    // The step's progress takes the verdict's pane; the step's end works the
    // verdict out afresh.
    Step = new LongStep(this, [this](const QString& text) { StatusBar1->SetPaneText(1, text); });
    Verdicts = new FaceVerdicts(this, [this](int generation, const workspace::UploadWork& work) {
        Guarded([&] {
            if (Workspace->AnswerFace(generation, work))
                ShowVerdictLine();
        });
    });
    WireEvents();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::BuildControls() {
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);

    // Within one parent the drawn-only controls are made first and the
    // windowed ones after them, so that the latter lie above.
    Panel6 = new Panel(buttonFace, true, this);
    Panel6->setGeometry(rect());
    Aligner in6(Panel6, 1);

    Image3 = new PictureBox(Panel6);
    Image3->SetPicture(Picture(QStringLiteral("banner.png")));
    Image3->setGeometry(in6.Top(Image3->Picture().height()));

    StatusBar1 = new StatusPanes({{300, Qt::AlignLeft, texts::kStatusPublisher},
                                  {550, Qt::AlignRight, QString()},
                                  {50, Qt::AlignRight, texts::kStatusDate}},
                                 Panel6);
    StatusBar1->setGeometry(in6.Bottom(24));

    Panel2 = new Panel(kWhite, false, Panel6);
    Panel2->setGeometry(in6.Client());
    Aligner in2(Panel2, 0);

    // Left column: zoom area over the viewport.
    Panel3 = new Panel(kWhite, false, Panel2);
    Panel3->setGeometry(in2.Left(252));
    Aligner in3(Panel3, 5);
    Panel7 = new Panel(kWhite, false, Panel3);
    Panel7->setGeometry(in3.Top(100));
    BuildZoomArea();
    // The viewport fills the rest of the column: the size the workspace
    // (and a batch) frames photos in.
    ScrollBox1 = new Panel(kWhite, false, Panel3);
    ScrollBox1->setGeometry(QRect(in3.Client().topLeft(), workspace::kViewport));
    BuildViewport();

    // Right column: instructions, requirements and the result photo.
    Panel4 = new Panel(kWhite, false, Panel2);
    Panel4->setGeometry(in2.Client());
    BuildResultArea();
    BuildRequirements();
    SetFocusOrder();
}

void TForm1::BuildZoomArea() {
    Label2 = new QLabel(texts::kZoomLabel, Panel7);
    Label2->setTextFormat(Qt::PlainText);
    Label2->setGeometry(8, 43, 48, 12);
    SetTextColour(Label2, kGrey);

    Label3 = new LinkLabel(texts::kResetLink, Panel7);
    Label3->setGeometry(172, 44, 72, 12);

    RzBmpButton1 = new BitmapButton(Picture(QStringLiteral("read_photo.png")), texts::kReadButton, Panel7);
    RzBmpButton1->move(10, 3);

    RzTrackBar1 = new ZoomSlider(Panel7);
    RzTrackBar1->setGeometry(0, 56, 241, 38);
    RzTrackBar1->setEnabled(false);
}

void TForm1::BuildViewport() {
    Image1 = new PhotoView(
        [this](const QRect& region) { return Workspace ? Workspace->DrawWorkingPhoto(region) : QImage(); },
        ScrollBox1);
    Image1->setGeometry(workspace::kFirstPlace);

    Shape1 = new FrameShape(ScrollBox1);
    Shape1->setGeometry(24, 16, 200, 280);
    Shape1->hide();

    RzLine1 = new GuideLine(Qt::Horizontal, QRect(9, 5, 220, 20), ScrollBox1);
    RzLine2 = new GuideLine(Qt::Horizontal, QRect(9, 285, 220, 20), ScrollBox1);
    RzLine3 = new GuideLine(Qt::Vertical, QRect(10, 4, 20, 301), ScrollBox1);
    RzLine4 = new GuideLine(Qt::Vertical, QRect(211, 4, 20, 301), ScrollBox1);
    // Above the photo and the guide lines.
    Marks = new FrameMarks(ScrollBox1);
    Marks->setGeometry(ScrollBox1->rect());
}

void TForm1::BuildResultArea() {
    Image4 = new PictureBox(Panel4);
    Image4->SetPicture(Picture(QStringLiteral("instructions.png")));
    Image4->setGeometry(-11, 181, 347, 169);

    Shape2 = new FrameShape(Panel4);
    Shape2->setGeometry(349, 44, 204, 284);

    Panel5 = new Panel(kLightYellow, false, Panel4);
    Panel5->setGeometry(351, 46, 200, 280);

    Placeholder = new QLabel(texts::kResultPlaceholder, Panel5);
    Placeholder->setTextFormat(Qt::PlainText);
    Placeholder->setAlignment(Qt::AlignCenter);
    Placeholder->setFont(WindowFont(21));
    SetTextColour(Placeholder, kGrey);
    Placeholder->setGeometry(Panel5->rect());

    Image2 = new PictureBox(Panel5);
    Image2->setGeometry(0, 0, 200, 280);

    RzBmpBtnSave = new BitmapButton(Picture(QStringLiteral("save_as.png")), texts::kSaveButton, Panel4);
    RzBmpBtnSave->move(320, 349);
    RzBmpButton3 = new BitmapButton(Picture(QStringLiteral("crop.png")), texts::kCropButton, Panel4);
    RzBmpButton3->move(112, 148);
    RzBmpButton4 = new BitmapButton(Picture(QStringLiteral("exit.png")), texts::kExitButton, Panel4);
    RzBmpButton4->move(472, 341);

    // Below the instructions, beside the save button: what a reviewer would
    // refuse the frame's photo for, all of it, nothing hidden or cut.
    ReviewNotes = new QLabel(Panel4);
    ReviewNotes->setTextFormat(Qt::PlainText);
    ReviewNotes->setWordWrap(true);
    ReviewNotes->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ReviewNotes->setGeometry(16, 354, 296, 60);
    SetTextColour(ReviewNotes, kOrange);
}

void TForm1::BuildRequirements() {
    RzRichEdit2 = new QPlainTextEdit(Panel4);
    RzRichEdit2->setGeometry(16, 46, 297, 81);
    RzRichEdit2->setPlainText(texts::kRequirements);
    RzRichEdit2->setReadOnly(true);
    // Drops go to the window, which reads the photo.
    RzRichEdit2->setAcceptDrops(false);
    RzRichEdit2->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    RzRichEdit2->setTabChangesFocus(true);
    RzRichEdit2->setFocusPolicy(Qt::StrongFocus);
    RzRichEdit2->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    RzRichEdit2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RzRichEdit2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    RzRichEdit2->setFrameStyle(QFrame::Box | QFrame::Plain);
    RzRichEdit2->setLineWidth(1);
    RzRichEdit2->document()->setDocumentMargin(2);
    {
        QPalette pal = RzRichEdit2->palette();
        pal.setColor(QPalette::Base, kWhite);
        pal.setColor(QPalette::Text, kRed);
        pal.setColor(QPalette::WindowText, QApplication::palette().color(QPalette::Dark));
        RzRichEdit2->setPalette(pal);
    }
}

void TForm1::SetFocusOrder() {
    // Every other control stays out of the focus chain.
    for (QWidget* w : {Panel6, Panel2, Panel3, Panel7, ScrollBox1, Panel4, Panel5,
                       static_cast<QWidget*>(Label2), static_cast<QWidget*>(Placeholder),
                       static_cast<QWidget*>(ReviewNotes)})
        w->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::NoFocus);

    QWidget::setTabOrder(RzTrackBar1, RzBmpButton1);
    QWidget::setTabOrder(RzBmpButton1, RzBmpBtnSave);
    QWidget::setTabOrder(RzBmpBtnSave, RzBmpButton3);
    QWidget::setTabOrder(RzBmpButton3, RzBmpButton4);
    QWidget::setTabOrder(RzBmpButton4, RzRichEdit2);
}

void TForm1::WireEvents() {
    connect(RzBmpButton1, &BitmapButton::clicked, this, [this] { RzBmpButton1Click(); });
    connect(RzTrackBar1, &ZoomSlider::changed, this, [this] { RzTrackBar1Change(); });
    connect(Label3, &LinkLabel::clicked, this, [this] { Label3Click(); });
    connect(Image1, &PhotoView::mousePressed, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) { Image1MouseDown(b, m, x, y); });
    connect(Image1, &PhotoView::mouseMoved, this,
            [this](Qt::KeyboardModifiers m, int x, int y) { Image1MouseMove(m, x, y); });
    connect(Image1, &PhotoView::mouseReleased, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) { Image1MouseUp(b, m, x, y); });
    connect(Image1, &PhotoView::doubleClicked, this,
            [this](Qt::MouseButton b, Qt::KeyboardModifiers m, int x, int y) { Image1DblClick(b, m, x, y); });
    connect(RzBmpButton3, &BitmapButton::clicked, this, [this] { RzBmpButton3Click(); });
    connect(RzBmpBtnSave, &BitmapButton::clicked, this, [this] { RzBmpBtnSaveClick(); });
    connect(RzBmpButton4, &BitmapButton::clicked, this, [this] { RzBmpButton4Click(); });

    // The placeholder caption shows exactly while the result photo is empty.
    connect(Image2, &PictureBox::pictureChanged, this,
            [this] { Placeholder->setVisible(!Image2->HasPicture()); });
}

void TForm1::NameControls() {
    const std::pair<QWidget*, const char*> named[] = {
        {Panel6, "Panel6"},   {Image3, "Image3"},       {StatusBar1, "StatusBar1"},     {Panel2, "Panel2"},
        {Panel3, "Panel3"},   {Panel7, "Panel7"},       {RzBmpButton1, "RzBmpButton1"}, {Label2, "Label2"},
        {Label3, "Label3"},   {RzTrackBar1, "RzTrackBar1"}, {ScrollBox1, "ScrollBox1"}, {Image1, "Image1"},
        {Shape1, "Shape1"},   {RzLine1, "RzLine1"},     {RzLine2, "RzLine2"},           {RzLine3, "RzLine3"},
        {RzLine4, "RzLine4"}, {Marks, "Marks"},  {Panel4, "Panel4"},       {Image4, "Image4"},             {Shape2, "Shape2"},
        {Panel5, "Panel5"},   {Placeholder, "Placeholder"}, {Image2, "Image2"},         {RzBmpBtnSave, "RzBmpBtnSave"},
        {RzBmpButton3, "RzBmpButton3"}, {RzBmpButton4, "RzBmpButton4"}, {RzRichEdit2, "RzRichEdit2"},
        {ReviewNotes, "ReviewNotes"}};
    for (const auto& [control, name] : named)
        control->setObjectName(QLatin1String(name));
}

void TForm1::FormCreate() {
    Workspace = std::make_unique<workspace::PhotoWorkspace>(ScrollBox1->size(), Image1->geometry());
    Shape1->setGeometry(Workspace->CropFrame());
    Image2->resize(Workspace->CropFrame().size());
}

void TForm1::RzBmpButton4Click() {
    Guarded([this] { close(); });
}

bool TForm1::Tell(const workspace::Result& result) {
    const texts::Message message = texts::MessageFor(result);
    if (message.text.isEmpty())
        return false;
    // A held press on the slider's track would go on repeating under the box.
    RzTrackBar1->StopRepeat();
    Dialogs->ShowMessage(this, message.text, message.caption, message.icon);
    return true;
}

void TForm1::Guarded(const std::function<void()>& handler) {
    const auto report = [this](const std::exception_ptr& failure) {
        Tell({workspace::Outcome::Failure, {}, failure});
    };
    const bool outermost = !InHandler;
    {
        const QScopedValueRollback<bool> inside(InHandler, true);
        failure::RunGuarded(handler, report);
    }
    // The one place the verdict follows the frame from: no handler can
    // forget it, and a handler that runs others (a double-click zooms, then
    // places) is judged once, at its end.
    if (outermost && Workspace)
        failure::RunGuarded([this] { ShowVerdict(); }, report);
}

void TForm1::ShowVerdict() {
    if (!Workspace->VerdictStale())
        return;
    Workspace->JudgeFrame();
    const workspace::FaceRequest request = Workspace->FaceToCheck();
    if (!request.crop.isNull())
        Verdicts->Request(request);
    ShowVerdictLine();
}

void TForm1::RunStep(std::shared_ptr<workspace::Progress> progress, std::function<void()> work,
                     std::function<void()> done) {
    // A release during the step would be lost: no drag goes on after it.
    Workspace->Release();
    const auto ended = [this, done = std::move(done)] {
        Guarded([&] {
            Workspace->EndStep();
            done();
        });
    };
    // The verdict hides while the step runs; its answers meanwhile are dropped.
    if (Step->Run(std::move(progress), std::move(work), ended))
        Workspace->BeginStep();
}
