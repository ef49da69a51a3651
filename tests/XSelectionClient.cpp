#include "XSelectionClient.h"

#include <QElapsedTimer>

#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <xcb/xcb.h>

namespace {

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    auto reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return a;
}

xcb_window_t makeWindow(xcb_connection_t *c)
{
    const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t w = xcb_generate_id(c);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_EVENT_MASK, &events);
    return w;
}

// Waits for the next event, for at most msecs; null on time-out.
xcb_generic_event_t *nextEvent(xcb_connection_t *c, int msecs)
{
    QElapsedTimer t;
    t.start();
    for (;;) {
        if (xcb_generic_event_t *e = xcb_poll_for_event(c))
            return e;
        const qint64 left = msecs - t.elapsed();
        if (left <= 0 || xcb_connection_has_error(c))
            return nullptr;
        pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&p, 1, int(qMin<qint64>(left, 50)));
    }
}

} // namespace

XSelectionClient::XSelectionClient()
{
    m_conn = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_conn)) {
        xcb_disconnect(m_conn);
        m_conn = nullptr;
    }
}

XSelectionClient::~XSelectionClient()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_conn)
        xcb_disconnect(m_conn);
}

unsigned XSelectionClient::selectionAtom(Selection s)
{
    return s == Selection::Primary ? unsigned(XCB_ATOM_PRIMARY) : atom(m_conn, "CLIPBOARD");
}

bool XSelectionClient::own(Selection s)
{
    if (!m_conn)
        return false;
    m_window = makeWindow(m_conn);
    m_selection = selectionAtom(s);
    xcb_set_selection_owner(m_conn, m_window, m_selection, XCB_CURRENT_TIME);
    auto reply = xcb_get_selection_owner_reply(m_conn, xcb_get_selection_owner(m_conn, m_selection), nullptr);
    const bool owned = reply && reply->owner == m_window;
    std::free(reply);
    return owned;
}

bool XSelectionClient::ownSilent(Selection s)
{
    return own(s); // nothing reads this connection's events: requests go unanswered
}

bool XSelectionClient::ownAnswering(Selection s, const QByteArray &text)
{
    if (!own(s))
        return false;
    m_text = text;
    m_thread = std::thread([this] { serve(); });
    return true;
}

void XSelectionClient::serve()
{
    const xcb_atom_t utf8 = atom(m_conn, "UTF8_STRING");
    const xcb_atom_t targets = atom(m_conn, "TARGETS");
    while (!m_stop) {
        xcb_generic_event_t *e = nextEvent(m_conn, 50);
        if (!e)
            continue;
        if ((e->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
            const auto *r = reinterpret_cast<xcb_selection_request_event_t *>(e);
            xcb_atom_t property = r->property;
            if (r->target == utf8) {
                xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, r->requestor, property, utf8, 8,
                                    uint32_t(m_text.size()), m_text.constData());
            } else if (r->target == targets) {
                const xcb_atom_t list[] = {targets, utf8};
                xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, r->requestor, property, XCB_ATOM_ATOM, 32, 2, list);
            } else {
                property = XCB_NONE; // refused
            }
            xcb_selection_notify_event_t n{};
            n.response_type = XCB_SELECTION_NOTIFY;
            n.time = r->time;
            n.requestor = r->requestor;
            n.selection = r->selection;
            n.target = r->target;
            n.property = property;
            xcb_send_event(m_conn, 0, r->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&n));
            xcb_flush(m_conn);
        }
        std::free(e);
    }
}

void XSelectionClient::destroyOwner()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_conn && m_window) {
        xcb_destroy_window(m_conn, m_window);
        auto reply = xcb_get_selection_owner_reply(m_conn, xcb_get_selection_owner(m_conn, m_selection), nullptr);
        std::free(reply); // a round trip: the destruction has reached the server
        m_window = 0;
    }
}

QByteArray XSelectionClient::read(Selection s, int msecs)
{
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    QByteArray text;
    if (!xcb_connection_has_error(c)) {
        const xcb_window_t w = makeWindow(c);
        const xcb_atom_t selection = s == Selection::Primary ? xcb_atom_t(XCB_ATOM_PRIMARY) : atom(c, "CLIPBOARD");
        const xcb_atom_t property = atom(c, "VANTREL_TEST_READ");
        xcb_convert_selection(c, w, selection, atom(c, "UTF8_STRING"), property, XCB_CURRENT_TIME);
        xcb_flush(c);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < msecs) {
            xcb_generic_event_t *e = nextEvent(c, int(msecs - t.elapsed()));
            if (!e)
                break;
            const bool notify = (e->response_type & 0x7f) == XCB_SELECTION_NOTIFY;
            const bool got = notify && reinterpret_cast<xcb_selection_notify_event_t *>(e)->property != XCB_NONE;
            std::free(e);
            if (!notify)
                continue;
            if (got) {
                auto reply = xcb_get_property_reply(
                    c, xcb_get_property(c, 1, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 20), nullptr);
                if (reply)
                    text = QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                                      xcb_get_property_value_length(reply));
                std::free(reply);
            }
            break;
        }
    }
    xcb_disconnect(c);
    return text;
}
