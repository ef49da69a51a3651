#include "ClipboardGuard.h"

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>

#include <cstring>

#ifdef VANTREL_HAVE_XCB
#include <QtGui/qguiapplication_platform.h>
#include <poll.h>
#include <xcb/xcb.h>
#endif

namespace {

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

#ifdef VANTREL_HAVE_XCB
xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    auto cookie = xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return a;
}
#endif

} // namespace

ClipboardGuard::ClipboardGuard(QObject *parent) : QObject(parent) {}

void ClipboardGuard::guard(QWidget *control)
{
    control->installEventFilter(this);
    if (auto *area = qobject_cast<QAbstractScrollArea *>(control))
        area->viewport()->installEventFilter(this);
}

ClipboardGuard::Owner ClipboardGuard::owner(QClipboard::Mode mode, int msecs)
{
#ifdef VANTREL_HAVE_XCB
    if (!onX11())
        return Owner::Answers;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *ours = x11 ? x11->connection() : nullptr;
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    if (!ours || !c || xcb_connection_has_error(c)) {
        if (c)
            xcb_disconnect(c);
        return Owner::Answers; // cannot tell: leave it to Qt
    }
    Owner result = Owner::Silent;
    const xcb_atom_t selection = mode == QClipboard::Selection ? xcb_atom_t(XCB_ATOM_PRIMARY) : atom(c, "CLIPBOARD");
    auto ownerReply = xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    const xcb_window_t window = ownerReply ? ownerReply->owner : xcb_window_t(XCB_NONE);
    std::free(ownerReply);
    // Windows of one client share the bits outside the resource id mask.
    const uint32_t mask = xcb_get_setup(c)->resource_id_mask;
    if (window == XCB_NONE) {
        result = Owner::None;
    } else if ((window & ~mask) == (xcb_generate_id(ours) & ~mask)) {
        result = Owner::Us; // whatever Qt believes, the server says it is ours
    } else {
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < screenNumber && it.rem; ++i)
            xcb_screen_next(&it);
        const xcb_window_t probe = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, probe, it.data->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_convert_selection(c, probe, selection, atom(c, "TARGETS"), atom(c, "VANTREL_PROBE"), XCB_CURRENT_TIME);
        xcb_flush(c);
        QElapsedTimer t;
        t.start();
        while (result == Owner::Silent && t.elapsed() < msecs && !xcb_connection_has_error(c)) {
            pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
            ::poll(&p, 1, int(qMax<qint64>(1, msecs - t.elapsed())));
            while (xcb_generic_event_t *e = xcb_poll_for_event(c)) {
                if ((e->response_type & 0x7f) == XCB_SELECTION_NOTIFY)
                    result = Owner::Answers;
                std::free(e);
            }
        }
        xcb_destroy_window(c, probe);
        xcb_flush(c);
    }
    xcb_disconnect(c);
    return result;
#else
    Q_UNUSED(mode);
    Q_UNUSED(msecs);
    return Owner::Answers;
#endif
}

bool ClipboardGuard::makeReadable(QClipboard::Mode mode)
{
    if (!onX11())
        return true;
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (mode == QClipboard::Selection && !clipboard->supportsSelection())
        return true;
    const Owner who = owner(mode);
    if (who == Owner::Answers || who == Owner::Us)
        return true;
    // Nothing to paste, read here. An empty text, not empty data: Qt 6.4
    // also crashes on data without a single format.
    auto *nothing = new QMimeData;
    nothing->setText(QString());
    clipboard->setMimeData(nothing, mode);
    return false;
}

bool ClipboardGuard::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
        if (static_cast<QKeyEvent *>(event)->matches(QKeySequence::Paste))
            makeReadable(QClipboard::Clipboard);
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::MiddleButton)
            makeReadable(QClipboard::Selection);
        break;
    case QEvent::ContextMenu:
        // The standard menu looks into the clipboard to enable "Coller".
        makeReadable(QClipboard::Clipboard);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
