#pragma once
// The volume window: master volume, output volume of both channels and of each.
#include "ui/StoredWindow.h"
#include "ui/ToolWindow.h"

class ClickDragBar;
class MainWindowLink;
class Mixer;
class QLabel;

class TForm8 : public ToolWindow, public StoredWindow {
    Q_OBJECT
public:
    // radioBarPosition: the radio window's volume bar, which the master bar starts at.
    TForm8(MainWindowLink &main, int radioBarPosition);

    void writeSettings(IniFile &ini) const override;

    // The bars set the mixer's volumes from now on. radioBar is the radio window's
    // volume bar: it sets the same master volume, and the two master bars follow each
    // other both ways.
    void attachMixer(Mixer &mixer, ClickDragBar *radioBar);

    ClickDragBar *ProgressBar[5] = {}; // 1..4
    QLabel *Label[5] = {};

private:
    void FormCreate(int radioBarPosition);
    MainWindowLink &main_;
};
