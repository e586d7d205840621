#include "windows/icons.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setWindowIcon(velantis::AppIcon());
    return 0;
}
