#pragma once
// The two stores a start copies into and the connection reads from: the address table
// (1002 slots; rows go to slots 1..n, slot 0 is never filled) and the proxy text (100
// bytes with its terminating zero). Neither is ever written past: a copy that does not
// fit is refused whole.
#include <QString>
#include <QStringList>

#include <array>

class StationUrls {
public:
    static constexpr int Slots = 1002;
    static constexpr int MaxStations = Slots - 1;

    // Row i into slot i + 1; slots above the list keep what they held. False, with
    // nothing copied, for a list of more than MaxStations rows.
    bool copyRows(const QStringList &rows);
    QString slot(int index) const; // empty outside 0..1001

private:
    std::array<QString, Slots> slots_;
};

class ProxySetting {
public:
    static constexpr int Bytes = 100;

    // False, leaving the old text, when the text takes more than 99 bytes in UTF-8.
    bool assign(const QString &text);
    QString text() const;

private:
    std::array<char, Bytes> buffer_{};
};
