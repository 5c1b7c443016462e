// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/batch/batch_window.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>
#include <QUrl>

#include "batch/report.h"
#include "texts/texts.h"

BatchWindow::BatchWindow(const batch::Options& folders, QWidget* parent) : QWidget(parent), options_(folders) {
    setWindowTitle(texts::kBatchWindowTitle);
    auto* grid = new QGridLayout(this);
    InputFolder = new QLineEdit(folders.input, this);
    OutputFolder = new QLineEdit(folders.output, this);
    ChooseInput = new QPushButton(texts::kBatchChoose, this);
    ChooseOutput = new QPushButton(texts::kBatchChoose, this);
    grid->addWidget(new QLabel(texts::kBatchInput, this), 0, 0);
    grid->addWidget(InputFolder, 0, 1);
    grid->addWidget(ChooseInput, 0, 2);
    grid->addWidget(new QLabel(texts::kBatchOutput, this), 1, 0);
    grid->addWidget(OutputFolder, 1, 1);
    grid->addWidget(ChooseOutput, 1, 2);
    StartButton = new QPushButton(texts::kBatchStart, this);
    StopButton = new QPushButton(texts::kBatchStop, this);
    StopButton->setEnabled(false);
    Progress = new QProgressBar(this);
    Progress->setFormat(QStringLiteral("%v / %m"));
    // No count until a run has one.
    Progress->setTextVisible(false);
    Progress->setValue(0);
    CurrentFile = new QLabel(this);
    CurrentFile->setTextFormat(Qt::PlainText);
    Outcome = new QLabel(this);
    Outcome->setTextFormat(Qt::PlainText);
    Outcome->setWordWrap(true);
    OpenReport = new QPushButton(texts::kBatchOpenReport, this);
    OpenReport->setEnabled(false);
    grid->addWidget(StartButton, 2, 0);
    grid->addWidget(Progress, 2, 1);
    grid->addWidget(StopButton, 2, 2);
    grid->addWidget(CurrentFile, 3, 0, 1, 3);
    grid->addWidget(Outcome, 4, 0, 1, 2);
    grid->addWidget(OpenReport, 4, 2);
    grid->setColumnMinimumWidth(1, 360);

    connect(ChooseInput, &QPushButton::clicked, this, [this] { Choose(InputFolder); });
    connect(ChooseOutput, &QPushButton::clicked, this, [this] { Choose(OutputFolder); });
    connect(StartButton, &QPushButton::clicked, this, [this] { StartClick(); });
    connect(StopButton, &QPushButton::clicked, this, [this] { StopClick(); });
    connect(OpenReport, &QPushButton::clicked, this, [this] { OpenReportClick(); });
    connect(this, &BatchWindow::ticked, this, &BatchWindow::ShowTick, Qt::QueuedConnection);
    connect(this, &BatchWindow::ended, this, &BatchWindow::Finish, Qt::QueuedConnection);
}

BatchWindow::~BatchWindow() {
    control_.stop = true;
    if (worker_.joinable())
        worker_.join();
}

void BatchWindow::Choose(QLineEdit* field) {
    const QString folder = QFileDialog::getExistingDirectory(this, QString(), field->text());
    if (!folder.isEmpty())
        field->setText(folder);
}

void BatchWindow::StartClick() {
    if (Running())
        return;
    options_.input = InputFolder->text();
    options_.output = OutputFolder->text();
    const QString problem = options_.input.isEmpty() || options_.output.isEmpty()
                                ? texts::kBatchMissingFolders
                                : batch::FolderProblem(options_);
    if (!problem.isEmpty()) {
        QMessageBox::critical(this, texts::kBatchWindowTitle, problem);
        return;
    }
    control_.stop = false;
    report_.clear();
    Progress->setValue(0);
    Progress->setTextVisible(true);
    Outcome->clear();
    for (QWidget* w : std::initializer_list<QWidget*>{StartButton, ChooseInput, ChooseOutput, InputFolder,
                                                      OutputFolder, OpenReport})
        w->setEnabled(false);
    StopButton->setEnabled(true);
    // The run and its report off the window's thread; what it tells comes
    // back as queued signals.
    worker_ = std::thread([this, options = options_] {
        QString outcome, page;
        try {
            QString misuse;
            const batch::Plan plan = batch::PlanRun(options, &misuse);
            if (!misuse.isEmpty())
                throw batch::RunRefused(misuse);
            const batch::Summary summary = batch::Run(options, plan, control_, [this](const batch::Tick& tick) {
                {
                    std::lock_guard<std::mutex> lock(tickLock_);
                    tick_ = {tick.done, tick.total, tick.current, nullptr};
                }
                emit ticked();
            });
            QString error;
            page = batch::WriteReport(options, summary, &error);
            outcome = batch::CountsText(summary);
            for (const QString& more : {batch::StopText(summary), page.isEmpty() ? error : QString()})
                if (!more.isEmpty())
                    outcome += QLatin1Char('\n') + more;
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
    {
        std::lock_guard<std::mutex> lock(tickLock_);
        tick = tick_;
    }
    Progress->setMaximum(std::max(tick.total, 1));
    Progress->setValue(tick.done);
    CurrentFile->setText(tick.current);
}

void BatchWindow::Finish() {
    worker_.join();
    report_ = page_;
    Outcome->setText(outcome_);
    CurrentFile->clear();
    for (QWidget* w : std::initializer_list<QWidget*>{StartButton, ChooseInput, ChooseOutput, InputFolder,
                                                      OutputFolder})
        w->setEnabled(true);
    StopButton->setEnabled(false);
    OpenReport->setEnabled(!report_.isEmpty());
    emit finished();
    if (closePending_)
        close();
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
