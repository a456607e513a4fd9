// The yardstick of the start-up benchmark: the least a Qt Widgets program does
// to show a dialog, a text and a button.
//
//   bench-minimal-dialog [text]
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(argc > 1 ? QString::fromUtf8(argv[1]) : QStringLiteral("Pemberlux")));
    layout->addWidget(new QPushButton(QStringLiteral("OK")));
    return dialog.exec();
}
