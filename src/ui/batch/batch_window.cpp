// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/batch/batch_window.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QMessageBox>
#include <QScrollBar>
#include <QThread>
#include <QUrl>

#include "batch/report.h"
#include "texts/texts.h"
#include "ui/window/main_window.h"

namespace {

// What a listed photo keeps beside its three columns: the upload file a
// double-click opens it to.
constexpr int kOpensAsRole = Qt::UserRole;

QLabel* PlainLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace

BatchWindow::BatchWindow(const batch::Options& options, QWidget* parent) : QWidget(parent), options_(options) {
    setWindowTitle(texts::kBatchWindowTitle);
    auto* grid = new QGridLayout(this);
    AddFolderFields(grid);
    AddOptionFields(grid);
    AddRunControls(grid);
    AddList(grid);
    grid->setColumnMinimumWidth(1, 360);
    grid->setColumnStretch(1, 1);
    // Wide enough for a reason in full, and a dozen photos listed.
    resize(900, sizeHint().height() + 80);
    Wire();
}

BatchWindow::~BatchWindow() {
    control_.stop = true;
    if (worker_.joinable())
        worker_.join();
}

// The folders and the roster: each a field with a button that chooses it.
void BatchWindow::AddFolderFields(QGridLayout* grid) {
    InputFolder = new QLineEdit(options_.input, this);
    OutputFolder = new QLineEdit(options_.output, this);
    RosterFile = new QLineEdit(options_.names, this);
    ChooseInput = new QPushButton(texts::kBatchChoose, this);
    ChooseOutput = new QPushButton(texts::kBatchChoose, this);
    ChooseRoster = new QPushButton(texts::kBatchChoose, this);
    const std::tuple<const QString&, QLineEdit*, QPushButton*> rows[] = {
        {texts::kBatchInput, InputFolder, ChooseInput},
        {texts::kBatchOutput, OutputFolder, ChooseOutput},
        {texts::kBatchRoster, RosterFile, ChooseRoster}};
    for (const auto& [label, field, button] : rows) {
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(label, this), row, 0);
        grid->addWidget(field, row, 1);
        grid->addWidget(button, row, 2);
    }
}

// How many photos at a time (one per core unless told), and whether every
// upload is made anew.
void BatchWindow::AddOptionFields(QGridLayout* grid) {
    Jobs = new QSpinBox(this);
    Jobs->setRange(1, 256);
    Jobs->setValue(options_.jobs > 0 ? options_.jobs : std::max(1, QThread::idealThreadCount()));
    Redo = new QCheckBox(texts::kBatchRedo, this);
    Redo->setChecked(options_.redo);
    auto* line = new QHBoxLayout;
    line->addWidget(Jobs);
    line->addSpacing(24);
    line->addWidget(Redo);
    line->addStretch();
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(texts::kBatchJobs, this), row, 0);
    grid->addLayout(line, row, 1, 1, 2);
}

void BatchWindow::AddRunControls(QGridLayout* grid) {
    StartButton = new QPushButton(texts::kBatchStart, this);
    StopButton = new QPushButton(texts::kBatchStop, this);
    StopButton->setEnabled(false);
    Progress = new QProgressBar(this);
    Progress->setFormat(QStringLiteral("%v / %m"));
    // No count until a run has one.
    Progress->setTextVisible(false);
    Progress->setValue(0);
    CurrentFile = PlainLabel(this);
    const int row = grid->rowCount();
    grid->addWidget(StartButton, row, 0);
    grid->addWidget(Progress, row, 1);
    grid->addWidget(StopButton, row, 2);
    grid->addWidget(CurrentFile, row + 1, 0, 1, 3);
}

// The photos as they end, the hint that opens them, and the run's counts
// beside its report.
void BatchWindow::AddList(QGridLayout* grid) {
    Photos = new QTreeWidget(this);
    Photos->setColumnCount(3);
    Photos->setHeaderLabels({texts::kBatchListHeader[0], texts::kBatchListHeader[1], texts::kBatchListHeader[2]});
    Photos->setRootIsDecorated(false);
    Photos->setUniformRowHeights(true);
    Photos->setSelectionMode(QAbstractItemView::SingleSelection);
    Photos->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Photos->setMinimumHeight(200);
    Photos->header()->resizeSection(0, 220);
    Photos->header()->resizeSection(1, 90);
    OpenHint = new QLabel(texts::kBatchOpenHint, this);
    Outcome = PlainLabel(this);
    Outcome->setWordWrap(true);
    OpenReport = new QPushButton(texts::kBatchOpenReport, this);
    OpenReport->setEnabled(false);
    const int row = grid->rowCount();
    grid->addWidget(Photos, row, 0, 1, 3);
    grid->setRowStretch(row, 1);  // the list takes what the window grows by
    grid->addWidget(OpenHint, row + 1, 0, 1, 3);
    grid->addWidget(Outcome, row + 2, 0, 1, 2);
    grid->addWidget(OpenReport, row + 2, 2, Qt::AlignTop);
}

void BatchWindow::Wire() {
    connect(ChooseInput, &QPushButton::clicked, this, [this] { Choose(InputFolder); });
    connect(ChooseOutput, &QPushButton::clicked, this, [this] { Choose(OutputFolder); });
    connect(ChooseRoster, &QPushButton::clicked, this, [this] { ChooseRosterFile(); });
    connect(StartButton, &QPushButton::clicked, this, [this] { StartClick(); });
    connect(StopButton, &QPushButton::clicked, this, [this] { StopClick(); });
    connect(OpenReport, &QPushButton::clicked, this, [this] { OpenReportClick(); });
    connect(Photos, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { OpenPhoto(item); });
    connect(this, &BatchWindow::ticked, this, &BatchWindow::ShowTick, Qt::QueuedConnection);
    connect(this, &BatchWindow::ended, this, &BatchWindow::Finish, Qt::QueuedConnection);
}

void BatchWindow::Choose(QLineEdit* field) {
    const QString folder = QFileDialog::getExistingDirectory(this, QString(), field->text());
    if (!folder.isEmpty())
        field->setText(folder);
}

void BatchWindow::ChooseRosterFile() {
    const QString start = RosterFile->text().isEmpty() ? InputFolder->text() : RosterFile->text();
    const QString file = QFileDialog::getOpenFileName(this, QString(), start, texts::kBatchRosterFilter);
    if (!file.isEmpty())
        RosterFile->setText(file);
}

void BatchWindow::SetFieldsEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{StartButton, ChooseInput, ChooseOutput, ChooseRoster,
                                                      InputFolder, OutputFolder, RosterFile, Jobs, Redo})
        w->setEnabled(enabled);
    StopButton->setEnabled(!enabled);
}

void BatchWindow::StartClick() {
    if (Running())
        return;
    // Each start reads the fields afresh; what is done already is kept, as
    // the command line keeps it. The list keeps to the last run's folders
    // until another starts.
    const batch::Options options{InputFolder->text(), OutputFolder->text(), RosterFile->text(), Jobs->value(),
                                 Redo->isChecked()};
    const QString problem = options.input.isEmpty() || options.output.isEmpty() ? texts::kBatchMissingFolders
                                                                                : batch::FolderProblem(options);
    if (!problem.isEmpty()) {
        QMessageBox::critical(this, texts::kBatchWindowTitle, problem);
        return;
    }
    options_ = options;
    control_.stop = false;
    report_.clear();
    ended_.clear();
    Photos->clear();
    Progress->setValue(0);
    Progress->setTextVisible(true);
    Outcome->clear();
    SetFieldsEnabled(false);
    OpenReport->setEnabled(false);
    Run(options_);
}

// The run and its report off the window's thread; what it tells comes back
// as queued signals.
void BatchWindow::Run(const batch::Options& options) {
    worker_ = std::thread([this, options] {
        QString outcome, page;
        try {
            QString misuse;
            const batch::Plan plan = batch::PlanRun(options, &misuse);
            if (!misuse.isEmpty())
                throw batch::RunRefused(misuse);
            QHash<QString, const batch::PlannedPhoto*> bySource;
            for (const batch::PlannedPhoto& photo : plan.photos)
                bySource.insert(photo.source, &photo);
            const batch::Summary summary = batch::Run(options, plan, control_, [&](const batch::Tick& tick) {
                {
                    std::lock_guard<std::mutex> lock(tickLock_);
                    tick_ = {tick.done, tick.total, tick.current, nullptr};
                    // The outcome is the run's only while the tick lasts.
                    // A photo that needs a person and can be read (a JPEG
                    // in which a face was found) opens to its upload file.
                    if (const batch::PhotoOutcome* photo = tick.finished) {
                        const bool opens = photo->result == batch::PhotoOutcome::NeedsPerson && photo->faceRead;
                        const QString upload = bySource.value(photo->source)->upload;
                        ended_.push_back({photo->source, opens ? upload : QString(), photo->result, photo->reason});
                    }
                }
                emit ticked();
            });
            QString error;
            page = batch::WriteReport(options, summary, &error);
            outcome = batch::CountsText(summary);
            for (const QString& more : {batch::StopText(summary), page.isEmpty() ? error : QString()})
                if (!more.isEmpty())
                    outcome += QLatin1Char('\n') + more;
            rowsWithoutPhoto_ = summary.rowsWithoutPhoto;
        } catch (const batch::RunRefused& e) {
            outcome = e.text();
        } catch (...) {
            outcome = texts::WithFullStop(texts::FailureText(std::current_exception()));
        }
        outcome_ = outcome;
        page_ = page;
        emit ended();
    });
}

void BatchWindow::ShowTick() {
    batch::Tick tick;
    std::vector<Ended> ended;
    {
        std::lock_guard<std::mutex> lock(tickLock_);
        tick = tick_;
        ended.swap(ended_);
    }
    Progress->setMaximum(std::max(tick.total, 1));
    Progress->setValue(tick.done);
    CurrentFile->setText(tick.current);
    for (const Ended& photo : ended)
        List({photo.source, batch::ResultWord(photo.result), photo.reason}, photo.opensAs);
}

void BatchWindow::List(const QStringList& columns, const QString& opensAs) {
    // The list follows the photos as they end unless the user has scrolled
    // back to look at one.
    const QScrollBar* bar = Photos->verticalScrollBar();
    const bool atEnd = bar->value() == bar->maximum();
    auto* item = new QTreeWidgetItem(Photos, columns);
    item->setToolTip(2, columns.value(2));
    item->setData(0, kOpensAsRole, opensAs);
    if (atEnd)
        Photos->scrollToItem(item);
}

void BatchWindow::Finish() {
    worker_.join();
    ShowTick();
    for (const batch::RosterRow& row : rowsWithoutPhoto_)
        List({texts::kBatchRosterRow.arg(row.row).arg(row.photo), QString(), texts::kBatchRowWithoutPhoto}, QString());
    rowsWithoutPhoto_.clear();
    report_ = page_;
    Outcome->setText(outcome_);
    CurrentFile->clear();
    SetFieldsEnabled(true);
    OpenReport->setEnabled(!report_.isEmpty());
    emit finished();
    if (closePending_)
        close();
}

// A photo listed to open (one that needs a person and was read with a
// face) opens in a main window of its own, whose save goes to the photo's
// upload file: the next run keeps it as saved by hand.
void BatchWindow::OpenPhoto(QTreeWidgetItem* item) {
    const QString upload = item->data(0, kOpensAsRole).toString();
    if (upload.isEmpty())
        return;
    // A window of its own: its 退出! closes it alone, and the batch goes on.
    auto* form = new TForm1(MakeQtDialogs(QDir(options_.output).filePath(upload)));
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    form->activateWindow();
    form->ReadPhotoFile(QDir(options_.input).filePath(item->text(0)));
}

void BatchWindow::StopClick() {
    control_.stop = true;
}

void BatchWindow::OpenReportClick() {
    QDesktopServices::openUrl(QUrl::fromLocalFile(report_));
}

void BatchWindow::closeEvent(QCloseEvent* event) {
    // A run under way stops as Ctrl+C stops it: the photo at hand is
    // finished or dropped whole, the report written, then the window goes.
    if (Running()) {
        closePending_ = true;
        control_.stop = true;
        event->ignore();
        return;
    }
    event->accept();
}
