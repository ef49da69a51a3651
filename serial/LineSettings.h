#pragma once

#include <QSerialPort>
#include <QString>

#include <optional>

// How the line of one COM number is set: speed, data bits, parity, stop bits
// and flow control. The default is the one the bench has always used,
// 9600 baud, 8 data bits, no parity, 1 stop bit, no flow control.
//
// Written in the settings and shown in the status line as the operator reads
// it: "115200 8N1", "38400 7E2 RTS/CTS", "19200 8N1.5 XON/XOFF".
struct LineSettings {
    qint32 baud = 9600;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QSerialPort::FlowControl flow = QSerialPort::NoFlowControl;

    static constexpr qint32 MinBaud = 50;
    static constexpr qint32 MaxBaud = 4'000'000;

    bool isDefault() const { return *this == LineSettings{}; }
    QString text() const;
    // The text back; nullopt when it is not one.
    static std::optional<LineSettings> fromText(const QString &text);

    friend bool operator==(const LineSettings &, const LineSettings &) = default;
};
