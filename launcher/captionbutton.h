#pragma once
// A push button whose caption wraps onto several lines, as the form's narrow
// buttons need; text() stays the whole caption.
#include <QPushButton>

class CaptionButton : public QPushButton {
    Q_OBJECT
public:
    CaptionButton(const QString& caption, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};
