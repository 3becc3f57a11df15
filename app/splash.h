#pragma once
// The splash window shown while the data folder is checked and opened.
#include <QWidget>
#include <functional>

class QLabel;

namespace cn {

class Splash : public QWidget {
    Q_OBJECT
public:
    explicit Splash(QWidget* parent = nullptr);
    ~Splash() override;

    // Runs when the window is released (start-up maximises the main window).
    std::function<void()> onRelease;
    // Release by the program: the release handler, then the window goes.
    void release();

    QLabel* image() const { return image_; }

private:
    QLabel* image_;
    bool released_ = false;
};

// The splash window while it exists, else nullptr.
Splash* splashWindow();

} // namespace cn
