#pragma once
// The modeless "FIR Filter Designer": four sliders (passband edge, stopband edge, weighting,
// taps) with their values, kept consistent by the slider rules (the passband stays below the
// stopband, both away from 0 and fs/2). A value may also be typed into its box. Every change
// says so; the owner redesigns. "Filter capture" asks the owner to filter the capture the
// designer was opened on with the taps of the design.

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

    QLineEdit* ValueBox(QSlider* slider) const;

    // Puts the dialog beside the window's rectangle (global coordinates) rather than over it:
    // to its right, else its left, else where it covers least of it.
    void PlaceBeside(const QRect& window);

signals:
    // A slider moved or a value was typed; the values above are the new design.
    void DesignChanged();
    // The "Filter capture" button.
    void FilterCaptureRequested();

private:
    void ApplySliderRules();
    void ApplyTypedValue(QSlider* slider);
    void ShowValues();
    void SetQuietly(QSlider* slider, int position);

    double passbandEdge_ = 0.1, stopbandEdge_ = 0.125;
    int weighting_ = 10, taps_ = 127;
    QSlider *passSlider_, *stopSlider_, *weightSlider_, *tapsSlider_;
    QLineEdit *passValue_, *stopValue_, *weightValue_, *tapsValue_;
};
