// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The batch window, a small window of its own: a folder of photos, a folder
// to save to, and a run of the batch off the window's thread, with its
// progress, a stop, and the report at the end. Closing it stops the run as
// Ctrl+C does.
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

#include <memory>
#include <mutex>
#include <thread>

#include "batch/batch_run.h"

class BatchWindow : public QWidget {
    Q_OBJECT
public:
    // `folders` fills the two fields, and gives the run its options.
    explicit BatchWindow(const batch::Options& folders = {}, QWidget* parent = nullptr);
    // Stops a run under way and waits for it.
    ~BatchWindow() override;

    bool Running() const { return worker_.joinable(); }
    const QString& ReportPage() const { return report_; }

    QLineEdit* InputFolder = nullptr;
    QLineEdit* OutputFolder = nullptr;
    QPushButton* ChooseInput = nullptr;
    QPushButton* ChooseOutput = nullptr;
    QPushButton* StartButton = nullptr;
    QPushButton* StopButton = nullptr;
    QProgressBar* Progress = nullptr;
    QLabel* CurrentFile = nullptr;
    QLabel* Outcome = nullptr;
    QPushButton* OpenReport = nullptr;

signals:
    void finished();
    // From the run's thread, queued to the window's: it has come further,
    // or it has ended. They carry nothing: the tick passes under a mutex and
    // the end is the window's once the thread is joined, which orders both
    // for ThreadSanitizer too.
    void ticked();
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void StartClick();
    void StopClick();
    void OpenReportClick();
    void Choose(QLineEdit* field);
    void ShowTick();
    void Finish();

    batch::Options options_;
    workspace::Progress control_;
    std::thread worker_;
    std::mutex tickLock_;
    batch::Tick tick_;        // the latest, under tickLock_
    QString outcome_, page_;  // written by the run's thread before it ends
    QString report_;
    bool closePending_ = false;
};
