// The yardstick of the start-up benchmark: the least a Qt 6 widget program
// does to put a window of the player's size on the screen.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("bare"));
    window.setFixedSize(366, 226);
    window.show();
    return QApplication::exec();
}
