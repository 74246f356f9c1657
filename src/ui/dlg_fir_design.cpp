#include "ui/dlg_fir_design.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "ui/dlg_user_input.h"

namespace {

constexpr int kSliderWidth = 300;  // the width the groups are laid out for

// One group: a slider over a range, its value (which may be typed), and the labels at its
// two ends, each on a row of its own when together they would not fit beside each other.
QSlider* AddGroup(QVBoxLayout* column, QWidget* parent, const char* title, int low, int high,
                  const char* lowLabel, const char* highLabel, QLineEdit*& value) {
    auto* box = new QGroupBox(QString::fromLatin1(title), parent);
    auto* grid = new QGridLayout(box);
    auto* slider = new QSlider(Qt::Horizontal, box);
    slider->setObjectName(QString::fromLatin1(title));
    slider->setRange(low, high);
    value = new QLineEdit(box);
    value->setObjectName(QString::fromLatin1(title) + QStringLiteral("Value"));
    value->setMaximumWidth(70);
    value->setAlignment(Qt::AlignRight);
    grid->addWidget(slider, 0, 0, 1, 2);
    grid->addWidget(value, 0, 2);
    auto* lowText = new QLabel(QString::fromLatin1(lowLabel), box);
    auto* highText = new QLabel(QString::fromLatin1(highLabel), box);
    const QFontMetrics metrics(lowText->font());
    const bool stacked = metrics.horizontalAdvance(lowText->text()) +
                             metrics.horizontalAdvance(highText->text()) + 24 >
                         kSliderWidth;
    grid->addWidget(lowText, 1, 0, Qt::AlignLeft);
    grid->addWidget(highText, stacked ? 2 : 1, stacked ? 0 : 1, 1, stacked ? 2 : 1, Qt::AlignRight);
    column->addWidget(box);
    return slider;
}

// Typed numbers: the whole text, in the C locale, and finite.
bool TypedNumber(const QString& text, double& value) {
    return ParseWholeNumber(text.toStdString(), value) && std::isfinite(value);
}

QString Fixed3(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", v);
    return QString::fromLatin1(text);
}

}  // namespace

CDlgFIRdesign::CDlgFIRdesign(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("FIR Filter Designer"));
    setModal(false);
    auto* column = new QVBoxLayout(this);
    passSlider_ = AddGroup(column, this, "PassBand", 0, 500, "0", "FS/2", passValue_);
    stopSlider_ = AddGroup(column, this, "StopBand", 0, 500, "0", "FS/2", stopValue_);
    weightSlider_ = AddGroup(column, this, "Weighting", 1, 10, "Minimise Stopband Ripple",
                             "Minimise Passband Ripple", weightValue_);
    tapsSlider_ = AddGroup(column, this, "Taps", 21, 255, "21", "255", tapsValue_);
    auto* filter = new QPushButton(QStringLiteral("&Filter capture"), this);
    filter->setObjectName(QStringLiteral("FilterCapture"));
    filter->setToolTip(
        QStringLiteral("Filter the capture the designer was opened on with these taps"));
    filter->setAutoDefault(false);
    column->addWidget(filter, 0, Qt::AlignRight);
    connect(filter, &QPushButton::clicked, this, &CDlgFIRdesign::FilterCaptureRequested);
    SetQuietly(weightSlider_, weighting_);
    SetQuietly(passSlider_, static_cast<int>(passbandEdge_ * 1000));
    SetQuietly(stopSlider_, static_cast<int>(stopbandEdge_ * 1000));
    SetQuietly(tapsSlider_, taps_);
    ShowValues();
    for (QSlider* s : {passSlider_, stopSlider_, weightSlider_, tapsSlider_}) {
        connect(s, &QSlider::valueChanged, this, [this] {
            ApplySliderRules();
            emit DesignChanged();
        });
        connect(ValueBox(s), &QLineEdit::editingFinished, this, [this, s] { ApplyTypedValue(s); });
    }
    setMinimumWidth(kSliderWidth + 110);
}

QLineEdit* CDlgFIRdesign::ValueBox(QSlider* slider) const {
    return slider == passSlider_     ? passValue_
           : slider == stopSlider_   ? stopValue_
           : slider == weightSlider_ ? weightValue_
                                     : tapsValue_;
}

void CDlgFIRdesign::ApplyTypedValue(QSlider* slider) {
    double v = 0;
    const bool number = TypedNumber(ValueBox(slider)->text(), v);
    const double pass = passbandEdge_, stop = stopbandEdge_;
    const int weight = weighting_, taps = taps_;
    // Within what the sliders allow, keeping the passband below the stopband; the slider
    // follows at its own resolution.
    if (number && slider == passSlider_)
        passbandEdge_ = std::clamp(v, 0.011, std::min(0.478, stopbandEdge_ / 1.009));
    else if (number && slider == stopSlider_)
        stopbandEdge_ = std::clamp(v, std::max(0.012, passbandEdge_ * 1.009), 0.479);
    else if (number && slider == weightSlider_)
        weighting_ = static_cast<int>(std::clamp(std::round(v), 1.0, 10.0));
    else if (number)
        taps_ = static_cast<int>(std::clamp(std::round(v), 21.0, 255.0));
    SetQuietly(passSlider_, static_cast<int>(passbandEdge_ * 1000));
    SetQuietly(stopSlider_, static_cast<int>(stopbandEdge_ * 1000));
    SetQuietly(weightSlider_, weighting_);
    SetQuietly(tapsSlider_, taps_);
    ShowValues();  // what was not a number shows the value that stands
    if (pass != passbandEdge_ || stop != stopbandEdge_ || weight != weighting_ || taps != taps_)
        emit DesignChanged();
}

void CDlgFIRdesign::PlaceBeside(const QRect& window) {
    adjustSize();
    const QScreen* screen = QGuiApplication::screenAt(window.center());
    const QRect room = screen ? screen->availableGeometry() : window.adjusted(-2000, 0, 2000, 0);
    const QSize size = frameGeometry().size();
    QPoint at(window.right() + 8, window.top());
    if (at.x() + size.width() > room.right()) at.setX(window.left() - 8 - size.width());
    if (at.x() < room.left()) at.setX(room.right() - size.width());  // over the least of it
    at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() - size.height())));
    move(at);
}

void CDlgFIRdesign::SetQuietly(QSlider* slider, int position) {
    // The rules move sliders themselves; that must not count as another move.
    const QSignalBlocker block(slider);
    slider->setValue(position);
}

void CDlgFIRdesign::ApplySliderRules() {
    // The passband: away from 0 when it went down, below 0.48 when it went up, and then the
    // stopband pushed ahead of it.
    const double pb = passSlider_->value() / 1000.0;
    const bool passRose = pb > passbandEdge_;
    passbandEdge_ = pb;
    if (!passRose && passbandEdge_ < 0.01) {
        passbandEdge_ = 0.011;
        SetQuietly(passSlider_, 11);
    }
    if (passRose) {
        if (passbandEdge_ > 0.48) {
            passbandEdge_ = 0.478;
            SetQuietly(passSlider_, 478);
        }
        if (stopbandEdge_ * 0.993 < passbandEdge_) {
            stopbandEdge_ = passbandEdge_ / 0.992;
            SetQuietly(stopSlider_, static_cast<int>(stopbandEdge_ * 1000));
        }
    }
    // The stopband: away from 0 and pulling the passband below it when it went down, below
    // 0.48 when it went up.
    const double sb = stopSlider_->value() / 1000.0;
    if (!(sb > stopbandEdge_)) {
        stopbandEdge_ = sb;
        if (stopbandEdge_ < 0.01) {
            stopbandEdge_ = 0.012;
            SetQuietly(stopSlider_, static_cast<int>(stopbandEdge_ * 1000));
        }
        if (stopbandEdge_ < passbandEdge_ * 1.008) {
            passbandEdge_ = stopbandEdge_ / 1.009;
            SetQuietly(passSlider_, static_cast<int>(passbandEdge_ * 1000));
        }
    } else {
        stopbandEdge_ = sb;
        if (stopbandEdge_ > 0.48) {
            stopbandEdge_ = 0.479;
            SetQuietly(stopSlider_, 479);
        }
    }
    taps_ = tapsSlider_->value();
    weighting_ = weightSlider_->value();
    ShowValues();
}

void CDlgFIRdesign::ShowValues() {
    passValue_->setText(Fixed3(passbandEdge_));
    stopValue_->setText(Fixed3(stopbandEdge_));
    weightValue_->setText(QString::number(weighting_));
    tapsValue_->setText(QString::number(taps_));
}
