// Starts like the tool (or, built as the baseline, with an empty window) and
// quits as soon as the window is exposed, so that the bench can time it.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#ifndef EMPTY_WINDOW
#include "ui/window/app_setup.h"
#include "ui/window/main_window.h"
#endif

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
        if (window.windowHandle() && window.windowHandle()->isExposed())
            app.quit();
    });
    poll.start(0);
    return app.exec();
}
