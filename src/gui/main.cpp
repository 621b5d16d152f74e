#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow frame;
    frame.setWindowTitle(QStringLiteral("Zuシリーズ 音声ファイル管理"));
    frame.resize(800, 600);
    frame.show();
    return QApplication::exec();
}
