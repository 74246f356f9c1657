#pragma once
// The modeless "FIR Filter Designer": four sliders (passband edge, stopband edge, weighting,
// taps) with their values, kept consistent by the slider rules (the passband stays below the
// stopband, both away from 0 and fs/2). Every move says so; the owner redesigns.

#include <QDialog>

class QLineEdit;
class QSlider;

class CDlgFIRdesign : public QDialog {
    Q_OBJECT
public:
    explicit CDlgFIRdesign(QWidget* parent = nullptr);

    // Normalised to the sample rate (0 ... 0.5).
    double PassbandEdge() const { return passbandEdge_; }
    double StopbandEdge() const { return stopbandEdge_; }
    int Weighting() const {
        return weighting_;
    }  // 1 ... 10: the passband's weight (the
       // stopband's is 11 - it)
    int Taps() const { return taps_; }

    QSlider* PassbandSlider() const { return passSlider_; }
    QSlider* StopbandSlider() const { return stopSlider_; }
    QSlider* WeightingSlider() const { return weightSlider_; }
    QSlider* TapsSlider() const { return tapsSlider_; }

signals:
    // A slider moved; the values above are the new design.
    void DesignChanged();

private:
    void ApplySliderRules();
    void ShowValues();
    void SetQuietly(QSlider* slider, int position);

    double passbandEdge_ = 0.1, stopbandEdge_ = 0.125;
    int weighting_ = 10, taps_ = 127;
    QSlider *passSlider_, *stopSlider_, *weightSlider_, *tapsSlider_;
    QLineEdit *passValue_, *stopValue_, *weightValue_, *tapsValue_;
};
