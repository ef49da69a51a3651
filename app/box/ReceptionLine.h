#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTextBlockUserData>

// What the reception box keeps with each line it received (as the block's
// user data, so it leaves with the line): when the piece was taken, how many
// bytes it had, and the bytes themselves. Lines the operator typed have none.
//
// A long piece is shown over several blocks of at most ReceptionBox::
// SliceChars characters, so that the view lays out no more than the blocks
// it shows: the first holds the piece's start, the others are
// continuations, joined to it without a line break wherever the box gives
// its text. Each block keeps
// its own bytes, and the piece's time, length and first bytes for the
// tooltip. A piece longer than the box holds shows only its end; `length`
// still counts every byte.
class ReceptionLine : public QTextBlockUserData
{
public:
    ReceptionLine(QDateTime taken, qsizetype length, bool continuation, QByteArray head, quint64 piece = 0)
        : m_taken(std::move(taken)), m_length(length), m_continuation(continuation), m_head(std::move(head)),
          m_piece(piece)
    {
    }

    // Which piece the block shows part of (the box numbers them).
    quint64 piece() const { return m_piece; }

    QDateTime taken() const { return m_taken; }
    qsizetype length() const { return m_length; }
    bool isContinuation() const { return m_continuation; }
    // This block's bytes.
    QByteArray bytes() const { return m_bytes; }
    void addBytes(QByteArrayView part);
    // The piece's first bytes (HeadBytes at most), for the tooltip.
    QByteArray head() const { return m_head; }

    static constexpr qsizetype HeadBytes = 64;

    // "Reçu le 08/12/2026 à 09:15:00,123 — 14 octets", then the first 64
    // bytes in hex and "…" when there are more.
    QString toolTip() const;

    // The time as the saved and journalled text writes it:
    // "2026-12-08 09:15:00.123".
    static QString stamp(const QDateTime &taken);

private:
    QDateTime m_taken;
    qsizetype m_length;
    bool m_continuation;
    QByteArray m_head;
    quint64 m_piece;
    QByteArray m_bytes;
};
