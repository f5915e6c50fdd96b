#pragma once
// For the visualisation window's tests: a main window that only keeps what TForm9 asks
// of it, and PCM blocks as the audio tap hands them over.
#include "settings/LineTable.h"
#include "support/ScriptedDialogs.h"
#include "ui/BarPopupMenu.h"
#include "ui/ImageList.h"
#include "ui/MainWindowLink.h"

#include <QHash>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdint>
#include <vector>

class FakeMainLink : public MainWindowLink {
public:
    FakeMainLink();

    QString programDir() const override { return dir.path() + QLatin1Char('/'); }
    QString stateDir() const override { return programDir(); }
    QString settingsPath() const override { return programDir() + QStringLiteral("nastaveni.ini"); }
    const LineTable &languageLines() const override { return language; }
    const LineTable &extensionLines() const override { return extensions; }
    LineTable &shortcutLines() override { return shortcuts; }
    QString languageCode() const override { return QStringLiteral("cs"); }
    QString mainCaption() const override { return QStringLiteral("Tarnel"); }
    QFont mainFont() const override { return QFont(QStringLiteral("Arial"), 8); }
    QColor mainFontColour() const override { return Qt::black; }
    const MenuBarLook &popupBarLook() const override { return look; }
    void registerWindow(WindowId id, QWidget *window, StoredWindow *) override { windows.insert(id, window); }
    void performToggle(WindowId id) override;
    bool isToggleChecked(WindowId id) const override { return checked.value(id); }
    Dialogs &dialogs() override { return scripted; }
    const ImageList &images() const override { return imageList; }

    void writeSettings(const QByteArray &ini) const;

    QTemporaryDir dir;
    LineTable language;
    LineTable extensions;
    LineTable shortcuts;
    MenuBarLook look;
    ScriptedDialogs scripted;
    ImageList imageList;
    QHash<WindowId, QWidget *> windows;
    QHash<WindowId, bool> checked;
    QList<WindowId> toggles; // every performToggle, in order
};

namespace vis_test {

// 16-bit interleaved PCM, every channel the same sine; amplitude is a fraction of full scale.
std::vector<std::int16_t> sineBlock(int frames, int channels, double frequencyHz, int sampleRate,
                                    double amplitude);
// Every sample the same value.
std::vector<std::int16_t> constantBlock(int frames, int channels, std::int16_t value);

bool isGreen(QRgb pixel);
// Columns with at least one green pixel.
int greenColumns(const QImage &image);
bool allBlack(const QImage &image);
// Topmost and bottommost rows holding green; (-1, -1) when none.
std::pair<int, int> greenRowSpan(const QImage &image);

} // namespace vis_test
