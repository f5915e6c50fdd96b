#pragma once
// A window whose placement and own values the main window writes at close.
class IniFile;

class StoredWindow {
public:
    virtual ~StoredWindow() = default;
    virtual void writeSettings(IniFile &ini) const = 0;
};
