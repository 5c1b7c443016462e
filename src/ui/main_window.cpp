#include "ui/main_window.h"

const QString kAppTitle = QStringLiteral("exam-photo");

TForm1::TForm1(std::unique_ptr<UserDialogs>, QWidget* parent) : QWidget(parent) {
    setFixedSize(831, 518);
}
TForm1::~TForm1() = default;
void TForm1::MessageBox(const QString&, const QString&, int) {}
void TForm1::FormCreate() {}
void TForm1::RzBmpButton4Click() { close(); }
void TForm1::Guarded(const std::function<void()>& handler) { handler(); }
