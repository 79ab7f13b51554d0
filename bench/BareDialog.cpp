// The baseline of the start-up and memory figures: an empty Qt dialog of a given size and nothing
// else. Usage: bare-dialog WIDTH HEIGHT
#include <QApplication>
#include <QDialog>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int width = argc > 2 ? std::atoi(argv[1]) : 544;
    const int height = argc > 2 ? std::atoi(argv[2]) : 726;
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("bare"));
    dialog.setFixedSize(width, height);
    return dialog.exec();
}
