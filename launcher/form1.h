#pragma once
// The launcher's window: every control at its twip position, named by its
// control name. It only shows a LauncherState; all work is the Launchpad's.
#include <QWidget>

#include "launcher/launchpad.h"

class QLabel;
class QLineEdit;
class QPushButton;

class Form1 : public QWidget {
    Q_OBJECT
public:
    // Runs the start-up sequence, as the window opens.
    explicit Form1(orv::launcher::Launchpad& launchpad, QWidget* parent = nullptr);

    // Twips to pixels at the screen's logical dpi (15 twips per pixel at 96 dpi).
    int pixels(int twips) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <typename Widget>
    Widget* place(Widget* widget, const char* name, int left, int top, int width, int height);
    void buildControls();
    // Box texts into the state, the action, then every text back into the widgets.
    void run(void (orv::launcher::Launchpad::*action)());
    void pullTexts();
    void pushTexts();

    orv::launcher::Launchpad& launchpad_;
    QLineEdit* text4_ = nullptr;
    QLineEdit* text8_ = nullptr;
    QPushButton* command3_ = nullptr;
    QLabel* statusLine_ = nullptr;
};
