// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The batch window, a small window of its own: a folder of photos, a folder
// to save to, a roster, how many at a time and whether to redo them, and a
// run of the batch off the window's thread, with its progress, a stop, the
// photos listed as they end, and the report at the end. A photo that needs a
// person opens in a main window of its own, to be framed and saved by hand.
// Closing it stops the run as Ctrl+C does.
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QWidget>

#include <mutex>
#include <thread>
#include <vector>

#include "batch/batch_run.h"

class TForm1;

class BatchWindow : public QWidget {
    Q_OBJECT
public:
    // `options` fills the fields, and gives the run its options.
    explicit BatchWindow(const batch::Options& options = {}, QWidget* parent = nullptr);
    // Stops a run under way and waits for it.
    ~BatchWindow() override;

    bool Running() const { return worker_.joinable(); }
    const QString& ReportPage() const { return report_; }
    // What the last start read from the fields.
    const batch::Options& RunOptions() const { return options_; }

    QLineEdit* InputFolder = nullptr;
    QLineEdit* OutputFolder = nullptr;
    QLineEdit* RosterFile = nullptr;
    QPushButton* ChooseInput = nullptr;
    QPushButton* ChooseOutput = nullptr;
    QPushButton* ChooseRoster = nullptr;
    QSpinBox* Jobs = nullptr;
    QCheckBox* Redo = nullptr;
    QPushButton* StartButton = nullptr;
    QPushButton* StopButton = nullptr;
    QProgressBar* Progress = nullptr;
    QLabel* CurrentFile = nullptr;
    // The photos as they end, then the roster's rows without a photo:
    // file, result, reason.
    QTreeWidget* Photos = nullptr;
    QLabel* OpenHint = nullptr;
    QLabel* Outcome = nullptr;
    QPushButton* OpenReport = nullptr;

signals:
    void finished();
    // From the run's thread, queued to the window's: it has come further,
    // or it has ended. They carry nothing: the tick and the photos it ended
    // pass under a mutex and the end is the window's once the thread is
    // joined, which orders both for ThreadSanitizer too.
    void ticked();
    void ended();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // A photo the run has ended, as the list shows it.
    struct Ended {
        QString source;  // relative to the input folder
        QString opensAs;  // the upload a person frames it into; empty where it does not open
        batch::PhotoOutcome::Result result;
        QString reason;
    };

    void AddFolderFields(QGridLayout* grid);
    void AddOptionFields(QGridLayout* grid);
    void AddRunControls(QGridLayout* grid);
    void AddList(QGridLayout* grid);
    void Wire();
    void StartClick();
    void Run(const batch::Options& options);
    void StopClick();
    void OpenReportClick();
    void Choose(QLineEdit* field);
    void ChooseRosterFile();
    void SetFieldsEnabled(bool enabled);
    void ShowTick();
    // A row of the list: its columns, and the upload it opens to (none where empty).
    void List(const QStringList& columns, const QString& opensAs);
    void Finish();
    void OpenPhoto(QTreeWidgetItem* item);

    batch::Options options_;
    workspace::Progress control_;
    std::thread worker_;
    std::mutex tickLock_;
    batch::Tick tick_;            // the latest, under tickLock_
    std::vector<Ended> ended_;    // ended since the list last took them, under tickLock_
    QString outcome_, page_;      // written by the run's thread before it ends
    std::vector<batch::RosterRow> rowsWithoutPhoto_;  // likewise
    QString report_;
    bool closePending_ = false;
};
