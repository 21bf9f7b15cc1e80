#pragma once

#include <QMainWindow>

namespace tw::ui {

// The program's single main window.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
};

} // namespace tw::ui
