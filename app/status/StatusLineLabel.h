#pragma once

#include <QLabel>

// The status line under the reception box: the port's state on the first
// line, the latest message below it, on as many lines as the label holds.
//
// setMessage() takes a text whose outside pieces are marked (StatusPieces).
// The label shows it whole when it fits; otherwise the pieces are cut in the
// middle, shorter and shorter, until the message fits, so that its end (the
// remedy) always shows. Device paths have no spaces, so the shown text may
// break after a slash, a dash or an underscore (zero-width spaces, in the
// painted text only). The tooltip and the accessible description hold the
// whole message; the accessible name holds what is shown, without the
// invisible break hints.
class StatusLineLabel : public QLabel
{
    Q_OBJECT
public:
    explicit StatusLineLabel(QWidget *parent = nullptr);

    void setMessage(const QString &marked);
    // The whole message, pieces uncut.
    QString fullText() const { return m_full; }
    // What the label shows, without break hints.
    QString shownText() const { return m_shown; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void fit();

    QString m_marked;
    QString m_full;
    QString m_shown;
};
