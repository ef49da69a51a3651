#pragma once

#include <QByteArray>

#include <atomic>
#include <thread>

struct xcb_connection_t;

// Another X client, on a connection of its own, for the clipboard tests: it
// owns the CLIPBOARD or PRIMARY selection (answering requests for its text
// from a thread, or never answering them), lets the window that owns it be
// destroyed, and reads a selection as any other program would.
class XSelectionClient
{
public:
    enum class Selection { Clipboard, Primary };

    XSelectionClient();
    ~XSelectionClient();
    XSelectionClient(const XSelectionClient &) = delete;
    XSelectionClient &operator=(const XSelectionClient &) = delete;

    bool isValid() const { return m_conn != nullptr; }

    // Owns the selection and answers with `text` (UTF8_STRING) from a thread.
    bool ownAnswering(Selection s, const QByteArray &text);
    // Owns the selection and never answers: a program that hangs.
    bool ownSilent(Selection s);
    // Destroys the owning window: the selection is left without an owner.
    void destroyOwner();

    // Reads the selection as UTF8_STRING, waiting up to `msecs`; the caller
    // keeps its own event loop running meanwhile (see readInThread).
    static QByteArray read(Selection s, int msecs);

private:
    bool own(Selection s);
    void serve();
    unsigned selectionAtom(Selection s);

    xcb_connection_t *m_conn = nullptr;
    unsigned m_window = 0;
    unsigned m_selection = 0;
    QByteArray m_text;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
};
