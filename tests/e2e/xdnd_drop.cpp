// Drops files on an X window as a Linux file manager does, by the XDND protocol: the drag
// source announces text/uri-list, moves over the middle of the window, drops, hands over the
// list when the target asks for it, and waits for the target to say it has finished. Wine's X11
// driver turns such a drop into WM_DROPFILES for a window that accepts files.
//
//   xdnd_drop <X window id> <absolute path>...     (on $DISPLAY)
//
// Exits 0 once the target has taken the drop; 1 when it refused it or did not answer in time.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {
constexpr long kXdndVersion = 5;
constexpr auto kAnswerLimit = std::chrono::seconds(20);

struct Atoms {
    Atom aware, enter, position, status, drop, finished, selection, copy, uriList, targets;
};

Atoms InternAtoms(Display* display) {
    auto atom = [display](const char* name) { return XInternAtom(display, name, False); };
    return {atom("XdndAware"),     atom("XdndEnter"),      atom("XdndPosition"),
            atom("XdndStatus"),    atom("XdndDrop"),       atom("XdndFinished"),
            atom("XdndSelection"), atom("XdndActionCopy"), atom("text/uri-list"),
            atom("TARGETS")};
}

// file:// URIs, one per line, every byte outside the unreserved ones escaped as %XX.
std::string UriList(int count, char** paths) {
    static const char hex[] = "0123456789ABCDEF";
    std::string list;
    for (int i = 0; i < count; ++i) {
        list += "file://";
        for (const char* c = paths[i]; *c; ++c) {
            unsigned char byte = static_cast<unsigned char>(*c);
            bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                         (byte >= '0' && byte <= '9') || byte == '/' || byte == '.' ||
                         byte == '-' || byte == '_' || byte == '~';
            if (plain) {
                list += static_cast<char>(byte);
            } else {
                list += '%';
                list += hex[byte >> 4];
                list += hex[byte & 15];
            }
        }
        list += "\r\n";
    }
    return list;
}

void SendClientMessage(Display* display, Window target, Atom type, long l0, long l1, long l2,
                       long l3, long l4) {
    XEvent event = {};
    event.xclient.type = ClientMessage;
    event.xclient.display = display;
    event.xclient.window = target;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    long values[5] = {l0, l1, l2, l3, l4};
    for (int i = 0; i < 5; ++i)
        event.xclient.data.l[i] = values[i];
    XSendEvent(display, target, False, NoEventMask, &event);
    XFlush(display);
}

// The target asks for the dropped data: the URI list, or the list of types we offer.
void AnswerSelectionRequest(Display* display, const Atoms& atoms,
                            const XSelectionRequestEvent& request, const std::string& uris) {
    XEvent reply = {};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = display;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = request.property ? request.property : request.target;
    if (request.target == atoms.uriList) {
        XChangeProperty(display, request.requestor, reply.xselection.property, atoms.uriList, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(uris.data()),
                        static_cast<int>(uris.size()));
    } else if (request.target == atoms.targets) {
        Atom offered[] = {atoms.targets, atoms.uriList};
        XChangeProperty(display, request.requestor, reply.xselection.property, XA_ATOM, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(offered), 2);
    } else {
        reply.xselection.property = None;
    }
    XSendEvent(display, request.requestor, False, NoEventMask, &reply);
    XFlush(display);
}

// Handles events until a client message of `type` comes to `source`: its first data words.
bool AwaitMessage(Display* display, const Atoms& atoms, Window source, Atom type,
                  const std::string& uris, long* answer) {
    const auto deadline = std::chrono::steady_clock::now() + kAnswerLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!XPending(display)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == SelectionRequest)
            AnswerSelectionRequest(display, atoms, event.xselectionrequest, uris);
        else if (event.type == ClientMessage && event.xclient.window == source &&
                 event.xclient.message_type == type) {
            *answer = event.xclient.data.l[1];
            return true;
        }
    }
    return false;
}

bool TargetIsAware(Display* display, const Atoms& atoms, Window target) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, left = 0;
    unsigned char* data = nullptr;
    bool aware = XGetWindowProperty(display, target, atoms.aware, 0, 1, False, AnyPropertyType,
                                    &type, &format, &count, &left, &data) == Success &&
                 count == 1;
    if (data)
        XFree(data);
    return aware;
}
} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: xdnd_drop <X window id> <absolute path>...\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "xdnd_drop: cannot open the display\n");
        return 1;
    }
    const Atoms atoms = InternAtoms(display);
    const Window target = std::strtoul(argv[1], nullptr, 0);
    const std::string uris = UriList(argc - 2, argv + 2);
    const Window root = DefaultRootWindow(display);
    const Window source = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, atoms.selection, source, CurrentTime);

    XWindowAttributes attributes;
    int x = 0, y = 0;
    Window child;
    if (!TargetIsAware(display, atoms, target) ||
        !XGetWindowAttributes(display, target, &attributes) ||
        !XTranslateCoordinates(display, target, root, attributes.width / 2, attributes.height / 2,
                               &x, &y, &child)) {
        std::fprintf(stderr, "xdnd_drop: window %s takes no drops\n", argv[1]);
        return 1;
    }
    SendClientMessage(display, target, atoms.enter, static_cast<long>(source), kXdndVersion << 24,
                      static_cast<long>(atoms.uriList), None, None);
    SendClientMessage(display, target, atoms.position, static_cast<long>(source), 0,
                      (static_cast<long>(x) << 16) | y, CurrentTime, static_cast<long>(atoms.copy));
    long status = 0;
    if (!AwaitMessage(display, atoms, source, atoms.status, uris, &status) || !(status & 1)) {
        std::fprintf(stderr, "xdnd_drop: the window did not accept the drop\n");
        return 1;
    }
    SendClientMessage(display, target, atoms.drop, static_cast<long>(source), 0, CurrentTime, None,
                      None);
    long finished = 0;
    if (!AwaitMessage(display, atoms, source, atoms.finished, uris, &finished)) {
        std::fprintf(stderr, "xdnd_drop: the window did not finish the drop\n");
        return 1;
    }
    XCloseDisplay(display);
    return 0;
}
