#include "app/ClipboardHandOver.h"

#include <QByteArray>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>

#include <poll.h>
#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace kv7 {
namespace {

// As long as Qt waits for the manager in its own hand-over.
constexpr int ManagerTimeoutMs = 5000;

struct FreeReply {
    void operator()(void *reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

struct Disconnect {
    void operator()(xcb_connection_t *connection) const { xcb_disconnect(connection); }
};

xcb_atom_t Atom(xcb_connection_t *c, const char *name)
{
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

xcb_window_t SelectionOwner(xcb_connection_t *c, xcb_atom_t selection)
{
    const Reply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    return reply ? reply->owner : XCB_NONE;
}

// Takes the CLIPBOARD over from Qt's window with a window of its own on a
// connection of its own, and serves the text from there while the manager
// copies it: Qt's connection is read only by Qt's event handling, which must
// not run now.
class ClipboardServer {
public:
    ClipboardServer(xcb_connection_t *c, int screen, QByteArray text)
        : m_c(c), m_text(std::move(text)), m_deadline(ManagerTimeoutMs)
    {
        xcb_screen_iterator_t roots = xcb_setup_roots_iterator(xcb_get_setup(c));
        for (int i = 0; i < screen && roots.rem > 1; ++i)
            xcb_screen_next(&roots);
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, roots.data->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    }

    void HandOver()
    {
        if (!TakeClipboard())
            return;
        xcb_convert_selection(m_c, m_window, m_manager, m_saveTargets, m_property, m_time);
        xcb_flush(m_c);
        while (const Reply<xcb_generic_event_t> event = NextEvent()) {
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_SELECTION_REQUEST)
                Answer(*reinterpret_cast<const xcb_selection_request_event_t *>(event.get()));
            // Saved or refused: either way the manager is done with us.
            else if (type == XCB_SELECTION_NOTIFY
                     && reinterpret_cast<const xcb_selection_notify_event_t *>(event.get())->selection == m_manager)
                return;
        }
    }

private:
    // Ownership needs a real server time, which a property change brings.
    bool TakeClipboard()
    {
        xcb_change_property(m_c, XCB_PROP_MODE_APPEND, m_window, m_property, XCB_ATOM_STRING, 8, 0, nullptr);
        xcb_flush(m_c);
        while (m_time == XCB_CURRENT_TIME) {
            const Reply<xcb_generic_event_t> event = NextEvent();
            if (!event)
                return false;
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY)
                m_time = reinterpret_cast<const xcb_property_notify_event_t *>(event.get())->time;
        }
        xcb_delete_property(m_c, m_window, m_property);
        xcb_set_selection_owner(m_c, m_window, m_clipboard, m_time);
        return SelectionOwner(m_c, m_clipboard) == m_window;
    }

    Reply<xcb_generic_event_t> NextEvent()
    {
        for (;;) {
            if (xcb_generic_event_t *event = xcb_poll_for_event(m_c))
                return Reply<xcb_generic_event_t>(event);
            if (xcb_connection_has_error(m_c) || m_deadline.hasExpired())
                return nullptr;
            pollfd socket{xcb_get_file_descriptor(m_c), POLLIN, 0};
            (void)poll(&socket, 1, int(m_deadline.remainingTime()));
        }
    }

    void Answer(const xcb_selection_request_event_t &request)
    {
        // Requestors of old give no property: the target names it.
        const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
        bool done = false;
        if (request.selection == m_clipboard)
            done = request.target == m_multiple ? ConvertMultiple(request.requestor, property)
                                                : Convert(request.requestor, request.target, property);
        xcb_selection_notify_event_t notify{};
        notify.response_type = XCB_SELECTION_NOTIFY;
        notify.time = request.time;
        notify.requestor = request.requestor;
        notify.selection = request.selection;
        notify.target = request.target;
        notify.property = done ? property : xcb_atom_t(XCB_ATOM_NONE);
        xcb_send_event(m_c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&notify));
        xcb_flush(m_c);
    }

    bool Convert(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property)
    {
        if (target == m_targets) {
            const std::array<xcb_atom_t, 5> targets{m_targets, m_multiple, m_timestamp, m_utf8, m_textPlain};
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32,
                                uint32_t(targets.size()), targets.data());
        } else if (target == m_timestamp) {
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1, &m_time);
        } else if ((target == m_utf8 || target == m_textPlain) && FitsOneRequest()) {
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, requestor, property, target, 8, uint32_t(m_text.size()),
                                m_text.constData());
        } else {
            return false;
        }
        return true;
    }

    // Each pair of the requestor's list converted in turn; a failed one gets
    // no property.
    bool ConvertMultiple(xcb_window_t requestor, xcb_atom_t property)
    {
        const Reply<xcb_get_property_reply_t> list(xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, requestor, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x10000), nullptr));
        if (!list || list->format != 32)
            return false;
        const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(list.get()));
        std::vector<xcb_atom_t> pairs(atoms, atoms + xcb_get_property_value_length(list.get()) / 8 * 2);
        for (size_t i = 0; i < pairs.size(); i += 2) {
            if (!Convert(requestor, pairs[i], pairs[i + 1]))
                pairs[i + 1] = XCB_ATOM_NONE;
        }
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, requestor, property, list->type, 32, uint32_t(pairs.size()),
                            pairs.data());
        return true;
    }

    // Text too long for one property change would need the incremental
    // transfer; a terminal's copy does not come near the limit.
    bool FitsOneRequest() const
    {
        const uint64_t headerBytes = 24;
        return uint64_t(m_text.size()) + headerBytes <= uint64_t(xcb_get_maximum_request_length(m_c)) * 4;
    }

    xcb_connection_t *m_c;
    const QByteArray m_text;
    const QDeadlineTimer m_deadline;
    const xcb_window_t m_window = xcb_generate_id(m_c);
    const xcb_atom_t m_clipboard = Atom(m_c, "CLIPBOARD");
    const xcb_atom_t m_manager = Atom(m_c, "CLIPBOARD_MANAGER");
    const xcb_atom_t m_saveTargets = Atom(m_c, "SAVE_TARGETS");
    const xcb_atom_t m_targets = Atom(m_c, "TARGETS");
    const xcb_atom_t m_multiple = Atom(m_c, "MULTIPLE");
    const xcb_atom_t m_timestamp = Atom(m_c, "TIMESTAMP");
    const xcb_atom_t m_utf8 = Atom(m_c, "UTF8_STRING");
    const xcb_atom_t m_textPlain = Atom(m_c, "text/plain;charset=utf-8");
    const xcb_atom_t m_property = Atom(m_c, "KV7_CLIPBOARD");
    xcb_timestamp_t m_time = XCB_CURRENT_TIME;
};

} // namespace

void HandClipboardOver()
{
    const auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !QGuiApplication::clipboard()->ownsClipboard())
        return;
    const QByteArray text = QGuiApplication::clipboard()->text().toUtf8();
    xcb_connection_t *qt = x11->connection();
    if (text.isEmpty() || SelectionOwner(qt, Atom(qt, "CLIPBOARD_MANAGER")) == XCB_NONE)
        return;
    // The display Qt's connection went to, as long as Qt was given none
    // other than $DISPLAY.
    int screen = 0;
    const std::unique_ptr<xcb_connection_t, Disconnect> c(xcb_connect(nullptr, &screen));
    if (xcb_connection_has_error(c.get()))
        return;
    ClipboardServer(c.get(), screen, text).HandOver();
}

} // namespace kv7
