#include "ui/dlg_fir_design.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <cstdio>

namespace {

// One group: a slider over a range, its value, and the labels at its two ends.
QSlider* AddGroup(QVBoxLayout* column, QWidget* parent, const char* title, int low, int high,
                  const char* lowLabel, const char* highLabel, QLineEdit*& value) {
    auto* box = new QGroupBox(QString::fromLatin1(title), parent);
    auto* grid = new QGridLayout(box);
    auto* slider = new QSlider(Qt::Horizontal, box);
    slider->setObjectName(QString::fromLatin1(title));
    slider->setRange(low, high);
    value = new QLineEdit(box);
    value->setReadOnly(true);
    value->setFocusPolicy(Qt::NoFocus);
    value->setMaximumWidth(70);
    value->setAlignment(Qt::AlignRight);
    grid->addWidget(slider, 0, 0, 1, 2);
    grid->addWidget(value, 0, 2);
    grid->addWidget(new QLabel(QString::fromLatin1(lowLabel), box), 1, 0, Qt::AlignLeft);
    grid->addWidget(new QLabel(QString::fromLatin1(highLabel), box), 1, 1, Qt::AlignRight);
    column->addWidget(box);
    return slider;
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
    SetQuietly(weightSlider_, weighting_);
    SetQuietly(passSlider_, static_cast<int>(passbandEdge_ * 1000));
    SetQuietly(stopSlider_, static_cast<int>(stopbandEdge_ * 1000));
    SetQuietly(tapsSlider_, taps_);
    ShowValues();
    for (QSlider* s : {passSlider_, stopSlider_, weightSlider_, tapsSlider_})
        connect(s, &QSlider::valueChanged, this, [this] {
            ApplySliderRules();
            emit DesignChanged();
        });
    setMinimumWidth(420);
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
