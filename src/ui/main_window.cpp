#include "ui/main_window.h"

namespace tw::ui {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("TarnwickAppClass"));
    setWindowTitle(QStringLiteral("Tarnwick 2000"));
    setMinimumSize(620, 420);
}

} // namespace tw::ui
