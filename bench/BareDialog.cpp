// The baseline of the start-up and memory figures: a bare Qt dialog of a given size as a desktop
// shows one, with one static text and one push button in Qt's default font. An empty dialog would
// never start the font system and so would not be a fair measure for a window of text.
// Usage: bare-dialog WIDTH HEIGHT
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int width = argc > 2 ? std::atoi(argv[1]) : 544;
    const int height = argc > 2 ? std::atoi(argv[2]) : 726;
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("bare"));
    dialog.setFixedSize(width, height);
    QLabel text(QStringLiteral("Static text"), &dialog);
    text.setGeometry(10, 10, width - 20, text.sizeHint().height());
    QPushButton button(QStringLiteral("OK"), &dialog);
    button.setGeometry(width - 10 - button.sizeHint().width(),
                       height - 10 - button.sizeHint().height(), button.sizeHint().width(),
                       button.sizeHint().height());
    return dialog.exec();
}
