#pragma once
// The video surface's colour settings (ColorControl) and its default record, with the
// ranges the renderer enforces, and how they map onto GStreamer's videobalance.
// Plain class: the surface owns one and passes every change to the media graph.
#include "playback/VideoBalance.h"

#include <QString>

#include <stdexcept>

struct ColorSettings {
    int Brightness = 750;   // 0 .. 10000, 750 neutral
    int Contrast = 10000;   // 0 .. 20000, 10000 neutral
    int Hue = 0;            // -180 .. 180 degrees, 0 neutral
    int Saturation = 10000; // 0 .. 20000, 10000 neutral
    int Sharpness = 5;      // 0 .. 10
    int Gamma = 1;          // 1 .. 500
    bool ColorEnable = true;
    bool operator==(const ColorSettings &) const = default;
};

// A value outside a setting's range; what() names the value and the range.
class ColorRangeError : public std::runtime_error {
public:
    explicit ColorRangeError(const QString &text);
    QString message() const { return QString::fromUtf8(what()); }
};

class ColorControl {
public:
    const ColorSettings &current() const { return current_; }
    const ColorSettings &defaults() const { return defaults_; }

    // Throw ColorRangeError for a value outside the range; the setting keeps its value.
    void setBrightness(int value);
    void setContrast(int value);
    void setHue(int value);
    void setSaturation(int value);
    void setSharpness(int value);
    void setGamma(int value);
    void setColorEnable(bool on) { current_.ColorEnable = on; }

    // The current settings take the default record.
    void resetToDefaults() { current_ = defaults_; }
    // A new picture connected: the default record takes the renderer's own values.
    void rendererConnected(const ColorSettings &rendererValues) { defaults_ = rendererValues; }

    // Brightness is piecewise linear around its neutral 750 (0 -> -1, 750 -> 0,
    // 10000 -> 1); contrast and saturation scale by value / 10000; hue by degrees / 180.
    // Without colour the saturation is 0: a grey picture.
    static VideoBalance toBalance(const ColorSettings &settings);

private:
    ColorSettings current_;
    ColorSettings defaults_;
};
