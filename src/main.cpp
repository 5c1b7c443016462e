#include <QApplication>

#include "ui/main_window.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    TForm1 Form1;
    Form1.show();
    return app.exec();
}
