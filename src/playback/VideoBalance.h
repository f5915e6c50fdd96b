#pragma once
// The colour balance the media graph applies to the picture: GStreamer videobalance's
// properties. The default values leave the picture unchanged.
struct VideoBalance {
    double brightness = 0.0; // -1 .. 1
    double contrast = 1.0;   //  0 .. 2
    double hue = 0.0;        // -1 .. 1
    double saturation = 1.0; //  0 .. 2
    bool operator==(const VideoBalance &) const = default;
};
