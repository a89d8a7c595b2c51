#include "launcher/form1.h"

#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <cmath>

#include "launcher/captionbutton.h"

using orv::launcher::LauncherState;
using orv::launcher::Launchpad;

namespace {

// The form was laid out for "MS Sans Serif"; any sans-serif face stands in.
QFont sansFont(double points, bool bold = false) {
    QFont font;
    // Narrow faces first: the captions were fitted to the original's widths.
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial"), QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// A label that wraps its whole text onto as many lines as it needs, also
// inside a word (a path has no blank to wrap at), instead of cutting it off
// at the window's edge.
class StatusLine : public QLabel {
public:
    using QLabel::QLabel;

    int heightFor(int width) const {
        QTextLayout layout(text(), font(), const_cast<StatusLine*>(this));
        return layOut(layout, width);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(foregroundRole()));
        QTextLayout layout(text(), font(), this);
        layOut(layout, width());
        layout.draw(&painter, QPointF(0, 0));
    }

private:
    static int layOut(QTextLayout& layout, int width) {
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        qreal y = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout.endLayout();
        return static_cast<int>(std::ceil(y));
    }
};

constexpr double defaultPoints = 8.25;
constexpr double largePoints = 13.5;
constexpr int clientWidth = 6315;
// 7530 twips, grown by a status line below the buttons.
constexpr int clientHeight = 7800;
constexpr int statusTop = 7440;
constexpr int statusHeight = 255;

}  // namespace

Form1::Form1(Launchpad& launchpad, QWidget* parent) : QWidget(parent), launchpad_(launchpad) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("qx0zzz Orvane launchpad"));
    setFont(sansFont(defaultPoints));
    // Frames with the caption set into their top line; the children's twip
    // positions count from the frame's outer corner.
    setStyleSheet(
        QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.5em; }"
                       "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: "
                       "6px; padding: 0 2px; }"));
    buildControls();
    setFixedSize(pixels(clientWidth), pixels(clientHeight));
    launchpad_.startUp();
    pushTexts();
    // A terminal that fails only after the start returned is reported late.
    auto* startWatch = new QTimer(this);
    connect(startWatch, &QTimer::timeout, this, [this] {
        if (!launchpad_.checkStarts()) return;
        pullTexts();  // what was typed since stays
        pushTexts();
    });
    startWatch->start(250);
}

int Form1::pixels(int twips) const { return static_cast<int>(std::lround(twips * logicalDpiX() / 1440.0)); }

template <typename Widget>
Widget* Form1::place(Widget* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(pixels(left), pixels(top), pixels(width), pixels(height));
    return widget;
}

void Form1::buildControls() {
    auto label = [this](const char* name, const char* caption, int l, int t, int w, int h, QWidget* parent) {
        return place(new QLabel(QString::fromLatin1(caption), parent ? parent : this), name, l, t, w, h);
    };
    auto box = [this](const char* name, const char* initial, int l, int t, int w, int h, QWidget* parent) {
        return place(new QLineEdit(QString::fromLatin1(initial), parent ? parent : this), name, l, t, w, h);
    };
    auto frame = [this](const char* name, const char* caption, int l, int t, int w, int h) {
        return place(new QGroupBox(QString::fromLatin1(caption), this), name, l, t, w, h);
    };
    auto button = [this](const char* name, const char* caption, int l, int t, int w, int h) {
        return place(new CaptionButton(QString::fromLatin1(caption), this), name, l, t, w, h);
    };
    auto large = [](QWidget* w) {
        w->setFont(sansFont(largePoints));
        if (auto* edit = qobject_cast<QLineEdit*>(w)) edit->setAlignment(Qt::AlignCenter);
        if (auto* text = qobject_cast<QLabel*>(w)) text->setAlignment(Qt::AlignCenter);
    };

    // Frames first, so the boxes placed over them from the form stay on top.
    QGroupBox* frame6 = frame("Frame6", "FFT raw file to convert", 360, 840, 5175, 735);
    frame("Frame3", "Wave file to decode", 360, 1680, 5175, 855);
    QGroupBox* frame1 = frame("Frame1", "TX start time  HH MM : SS.SSS", 120, 3840, 2655, 855);
    frame("Frame4", "Symbol period [s]", 2880, 3840, 1455, 855);
    frame("Frame2", "Tx frequency [Hz]", 240, 4800, 1815, 855);
    frame("Frame5", "Message lenght", 2880, 4800, 1455, 855);
    frame("Frame8", "core", 4560, 4800, 1455, 855);
    frame("Frame9", "Polinomian", 4560, 5880, 1455, 855);

    label("Label8", "Sample Rate", 360, 120, 1215, 255, nullptr);
    box("Text10", "", 360, 360, 1215, 285, nullptr);
    label("Label9", "Decimation", 1800, 120, 1215, 255, nullptr);
    box("Text11", "", 1800, 360, 1215, 285, nullptr);
    label("Label10", "FFT Lenght", 3120, 120, 1215, 255, nullptr);
    box("Text12", "", 3120, 360, 1215, 285, nullptr);
    label("Label11", "Central Frequency", 4560, 120, 1455, 255, nullptr);
    box("Text13", "", 4560, 360, 1215, 285, nullptr);

    text8_ = box("Text8", "", 120, 240, 3135, 375, frame6);
    button("Command4", "choose file", 3960, 1080, 1215, 375);
    text4_ = box("Text4", "", 480, 1920, 3135, 375, nullptr);
    button("Command5", "choose file", 3960, 1920, 1215, 375);

    label("Label3", "", 120, 2760, 3495, 255, nullptr);
    label("Label1", "", 120, 3120, 3495, 255, nullptr);
    label("Label2", "", 120, 3480, 3495, 255, nullptr);

    large(box("Text1", "00", 120, 240, 495, 495, frame1));
    large(label("Label7", ":", 600, 240, 135, 495, frame1));
    large(label("Label6", ":", 1200, 240, 135, 495, frame1));
    large(box("Text5", "00.000", 1440, 240, 1095, 495, frame1));
    large(box("Text2", "00", 720, 4080, 495, 495, nullptr));  // over Frame1, covering Label7

    large(box("Text6", "", 3240, 4080, 735, 465, nullptr));
    QLineEdit* text3 = box("Text3", "", 360, 5040, 1455, 420, nullptr);
    text3->setFont(sansFont(12, true));
    large(box("Text7", "", 3240, 5040, 735, 465, nullptr));
    large(box("Text14", "", 4800, 5040, 735, 465, nullptr));

    label("Label5", "", 120, 5760, 3855, 375, nullptr)->setFont(sansFont(12));
    label("Label4", "", 120, 6240, 3855, 375, nullptr)->setFont(sansFont(12));
    box("Text15", "", 4680, 6240, 1215, 285, nullptr)->setAlignment(Qt::AlignCenter);

    command3_ = button("Command3", "convert raw FFT to Wave", 120, 6840, 1215, 495);
    QPushButton* command1 = button("Command1", "Calculate offsets", 1680, 6840, 1215, 495);
    QPushButton* command6 = button("Command6", "Launch Phaseview", 3360, 6840, 1215, 495);
    QPushButton* command2 = button("Command2", "Launch Orvane-rx", 4920, 6840, 1215, 495);
    statusLine_ = place(new StatusLine(this), "statusLine", 120, statusTop, 6075, statusHeight);

    connect(findChild<QPushButton*>(QStringLiteral("Command4")), &QPushButton::clicked, this,
            [this] { run(&Launchpad::chooseFftFile); });
    connect(findChild<QPushButton*>(QStringLiteral("Command5")), &QPushButton::clicked, this,
            [this] { run(&Launchpad::chooseWaveFile); });
    connect(command3_, &QPushButton::clicked, this, [this] { run(&Launchpad::convertRawFft); });
    connect(command1, &QPushButton::clicked, this, [this] { run(&Launchpad::calculate); });
    connect(command6, &QPushButton::clicked, this, [this] { run(&Launchpad::launchViewer); });
    connect(command2, &QPushButton::clicked, this, [this] { run(&Launchpad::launchReceiver); });
    text4_->installEventFilter(this);
    text8_->installEventFilter(this);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && (watched == text4_ || watched == text8_)) {
        run(watched == text4_ ? &Launchpad::chooseWaveFile : &Launchpad::chooseFftFile);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::run(void (Launchpad::*action)()) {
    pullTexts();
    (launchpad_.*action)();
    pushTexts();
}

void Form1::pullTexts() {
    LauncherState& state = launchpad_.state();
    for (std::string_view name : orv::launcher::controlNames) {
        auto* edit =
            findChild<QLineEdit*>(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
        if (edit) *state.text(name) = edit->text().toStdString();
    }
}

void Form1::pushTexts() {
    const LauncherState& state = launchpad_.state();
    for (std::string_view name : orv::launcher::controlNames) {
        QString objectName = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
        QString value = QString::fromStdString(*state.text(name));
        if (auto* edit = findChild<QLineEdit*>(objectName)) {
            if (edit->text() != value) edit->setText(value);
        } else if (auto* label = findChild<QLabel*>(objectName)) {
            label->setText(value);
        }
    }
    command3_->setEnabled(state.Command3Enabled);
    statusLine_->setText(QString::fromStdString(state.statusText));
    // A long status grows the line, and the window with it, by whole lines.
    auto* status = static_cast<StatusLine*>(statusLine_);
    const int extra = std::max(0, status->heightFor(status->width()) - pixels(statusHeight));
    status->resize(status->width(), pixels(statusHeight) + extra);
    setFixedSize(pixels(clientWidth), pixels(clientHeight) + extra);
}
