#pragma once

#include <QList>
#include <QString>

#include <optional>

// How the line of one COM number is set: speed, data bits, parity, stop bits
// and flow control. The default is the one the bench has always used,
// 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control.
//
// Written in the settings and shown in the status line as the operator reads
// it: "115200 8N1", "38400 7E2 RTS/CTS", "19200 8N1.5 XON/XOFF".
struct LineSettings {
    // The values are those of QSerialPort's enums, so that each system's
    // serial code passes them on as they are.
    enum class Parity { None = 0, Even = 2, Odd = 3, Space = 4, Mark = 5 };
    enum class StopBits { One = 1, Two = 2, OneAndHalf = 3 };
    enum class Flow { None = 0, Hardware = 1, Software = 2 };

    qint32 baud = 9600;
    int dataBits = 8; // 5 to 8
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    Flow flow = Flow::None;

    static constexpr qint32 MinBaud = 50;
    static constexpr qint32 MaxBaud = 4'000'000;

    bool isDefault() const { return *this == LineSettings{}; }
    QString text() const;
    // The text back; nullopt when it is not one.
    static std::optional<LineSettings> fromText(const QString &text);

    // A text from the settings, read part by part: what is wrong in it is
    // named, in French, and replaced by the default's part ("vitesse « abc »
    // invalide" and "9600"), the rest kept.
    struct Fault {
        QString what; // "vitesse « abc » invalide", "format absent"
        QString used; // "9600", "8N1", "aucun"
    };
    static LineSettings read(const QString &text, QList<Fault> *faults);

    friend bool operator==(const LineSettings &, const LineSettings &) = default;
};
