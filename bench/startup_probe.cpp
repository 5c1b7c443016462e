// SPDX-License-Identifier: GPL-3.0-or-later
// Starts like the tool (or, built as the baseline, with an empty window) and
// quits as soon as the window is exposed, so that the bench can time it; on
// the way out it prints its peak memory so far (VmHWM, in kB).
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#ifndef EMPTY_WINDOW
#include "ui/window/app_setup.h"
#include "ui/window/main_window.h"
#endif

#include <cstdio>

namespace {

QByteArray PeakMemoryKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0);
    return "0";
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
#ifdef EMPTY_WINDOW
    QWidget window;
    window.resize(831, 518);
#else
    SetUpApplication(app);
    TForm1 window;
    QApplication::setWindowIcon(window.windowIcon());
#endif
    window.show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (window.windowHandle() && window.windowHandle()->isExposed()) {
            poll.stop();
            std::printf("%s\n", PeakMemoryKb().constData());
            app.quit();
        }
    });
    poll.start(0);
    return app.exec();
}
