#pragma once

#include <QClipboard>
#include <QObject>

class QWidget;

// Keeps the text controls alive when the clipboard's owner is gone or does
// not answer.
//
// On X11, Qt 6.4 crashes in QWidgetTextControl::insertFromMimeData when a
// paste finds data without a single format: what it gets when the CLIPBOARD
// or PRIMARY selection has no owner (its program has closed, on a desktop
// without a clipboard manager) or an owner that has stopped answering. Before any read of a selection by a guarded control
// (Ctrl+V, Shift+Insert and the Paste key, a middle click, the context
// menu), the guard asks the X server itself, on a connection of its own,
// whether the selection has an owner that answers within half a second. If
// not, there is nothing to paste: the guard makes this program the owner of
// an empty text, so Qt reads it locally, pastes nothing, and a later copy
// from the box still reaches the other programs.
//
// Other platforms than xcb need nothing and are left alone.
class ClipboardGuard : public QObject
{
    Q_OBJECT
public:
    explicit ClipboardGuard(QObject *parent = nullptr);

    // Guards a QLineEdit or a QPlainTextEdit (and its viewport).
    void guard(QWidget *control);

    // Makes the selection safe to read. True when it was left as it was.
    bool makeReadable(QClipboard::Mode mode);

    // Who owns the selection, as the X server says (Qt's own belief can be
    // stale), and whether a foreign owner answers a request for its formats
    // within `msecs`. Always Answers off X11.
    enum class Owner { None, Us, Answers, Silent };
    static Owner owner(QClipboard::Mode mode, int msecs = 500);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
