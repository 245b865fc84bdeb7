// Windows: the window of each document in the user interface, its title, bounds, whether it is
// open and shown, and the front-to-back order of the open windows; the front image.
#include <algorithm>

#include "ViewState.h"

namespace StandIn {
namespace {

constexpr std::int32_t kEmptyDocumentSide = 256;
constexpr std::int32_t kLargestDefaultSide = 2048;
constexpr int kCascadeSteps = 8;
constexpr std::int32_t kCascadeOffset = 24;

LongRect frameOf(const LongRect& content) {
    return LongRect{content.top - kWindowTitleBarHeight, content.left - kWindowBorder,
                    content.bottom + kWindowBorder, content.right + kWindowBorder};
}

void toFront(ViewsState& v, Vorna::Handle window) {
    v.windowOrder.erase(std::remove(v.windowOrder.begin(), v.windowOrder.end(), window),
                        v.windowOrder.end());
    v.windowOrder.insert(v.windowOrder.begin(), window);
}

// Where a new window goes: content the size of the document's first image, cascaded.
LongRect defaultContent(Host::State& s, HostObject& doc) {
    std::int32_t width = kEmptyDocumentSide, height = kEmptyDocumentSide;
    std::vector<Vorna::Handle> images = imagesOfDocument(s, doc);
    if (!images.empty()) {
        const std::vector<std::uint32_t>& sizes = s.find(images.front())->image->sizes;
        width = static_cast<std::int32_t>(std::min<std::uint32_t>(sizes[0], kLargestDefaultSide));
        height = static_cast<std::int32_t>(
            std::min<std::uint32_t>(sizes.size() > 1 ? sizes[1] : 1, kLargestDefaultSide));
    }
    int step = viewsOf(s).windowsMade++ % kCascadeSteps;
    std::int32_t left = kCascadeOffset * (1 + step) + kWindowBorder;
    std::int32_t top = kCascadeOffset * (1 + step) + kWindowTitleBarHeight;
    return LongRect{top, left, top + height, left + width};
}

WindowData& window(Host::State& s, NativeCall& c) { return *windowArg(s, c, 0).window; }

WindowData& openWindow(Host::State& s, NativeCall& c, std::size_t i) {
    HostObject& o = windowArg(s, c, i);
    if (!o.window->open) throw callError(c, "the window " + hexHandle(o.handle) + " is closed.");
    return *o.window;
}

void checkSize(NativeCall& c, std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0) {
        throw callError(c, "a size of " + std::to_string(width) + " x " + std::to_string(height) +
                               " is negative.");
    }
}

LongRect rectArgs(NativeCall& c) {
    LongRect r{screenArg(c, 1), screenArg(c, 2), screenArg(c, 3), screenArg(c, 4)};
    checkRect(c, r.top, r.left, r.bottom, r.right);
    return r;
}

void writeRect(NativeCall& c, const LongRect& r) {
    const std::int32_t values[4] = {r.top, r.left, r.bottom, r.right};
    for (std::size_t k = 0; k < 4; ++k)
        if (auto* p = c.pointerTo<std::int32_t>(1 + k)) *p = values[k];
}

void writePair(NativeCall& c, std::int32_t a, std::int32_t b) {
    if (auto* p = c.pointerTo<std::int32_t>(1)) *p = a;
    if (auto* p = c.pointerTo<std::int32_t>(2)) *p = b;
}

// The image of the front-most shown window that has one.
Vorna::Handle frontImage(Host::State& s) {
    if (!s.views) return 0;
    for (Vorna::Handle w : s.views->windowOrder) {
        HostObject* o = s.live(w, ObjectKind::Window);
        if (!o || !o->window || !o->window->shown) continue;
        HostObject* doc = s.live(o->window->document, ObjectKind::ImageDocument);
        if (!doc) continue;
        std::vector<Vorna::Handle> images = imagesOfDocument(s, *doc);
        if (!images.empty()) return images.front();
    }
    return 0;
}

void defineBounds(Host& host, Host::State& s) {
    host.define("void WindowGetContentBounds( Window, long *, long *, long *, long * )",
                [&s](NativeCall& c) { writeRect(c, window(s, c).content); });
    host.define("void WindowGetFrameBounds( Window, long *, long *, long *, long * )",
                [&s](NativeCall& c) { writeRect(c, frameOf(window(s, c).content)); });
    host.define("void WindowSetContentBounds( Window, long, long, long, long )",
                [&s](NativeCall& c) {
                    WindowData& w = window(s, c);
                    w.content = rectArgs(c);
                });
    host.define("void WindowSetFrameBounds( Window, long, long, long, long )", [&s](NativeCall& c) {
        WindowData& w = window(s, c);
        LongRect f = rectArgs(c);
        if (f.bottom - f.top < kWindowTitleBarHeight + kWindowBorder ||
            f.right - f.left < 2 * kWindowBorder) {
            throw callError(c, "a frame of " + std::to_string(f.right - f.left) + " x " +
                                   std::to_string(f.bottom - f.top) +
                                   " leaves no room for the title bar and the border.");
        }
        w.content = LongRect{f.top + kWindowTitleBarHeight, f.left + kWindowBorder,
                             f.bottom - kWindowBorder, f.right - kWindowBorder};
    });
    host.define("void WindowGetContentPosition( Window, long *, long * )", [&s](NativeCall& c) {
        const LongRect& r = window(s, c).content;
        writePair(c, r.left, r.top);
    });
    host.define("void WindowGetFramePosition( Window, long *, long * )", [&s](NativeCall& c) {
        LongRect f = frameOf(window(s, c).content);
        writePair(c, f.left, f.top);
    });
    host.define("void WindowSetContentPosition( Window, long, long )", [&s](NativeCall& c) {
        LongRect& r = window(s, c).content;
        std::int32_t dx = screenArg(c, 1) - r.left, dy = screenArg(c, 2) - r.top;
        r = LongRect{r.top + dy, r.left + dx, r.bottom + dy, r.right + dx};
    });
    host.define("void WindowSetFramePosition( Window, long, long )", [&s](NativeCall& c) {
        LongRect& r = window(s, c).content;
        LongRect f = frameOf(r);
        std::int32_t dx = screenArg(c, 1) - f.left, dy = screenArg(c, 2) - f.top;
        r = LongRect{r.top + dy, r.left + dx, r.bottom + dy, r.right + dx};
    });
    host.define("void WindowGetContentSize( Window, long *, long * )", [&s](NativeCall& c) {
        const LongRect& r = window(s, c).content;
        writePair(c, r.right - r.left, r.bottom - r.top);
    });
    host.define("void WindowGetFrameSize( Window, long *, long * )", [&s](NativeCall& c) {
        LongRect f = frameOf(window(s, c).content);
        writePair(c, f.right - f.left, f.bottom - f.top);
    });
    host.define("void WindowSetContentSize( Window, long, long )", [&s](NativeCall& c) {
        LongRect& r = window(s, c).content;
        checkSize(c, c.int32(1), c.int32(2));
        std::int32_t width = screenArg(c, 1), height = screenArg(c, 2);
        r.right = r.left + width;
        r.bottom = r.top + height;
    });
    host.define("void WindowSetFrameSize( Window, long, long )", [&s](NativeCall& c) {
        LongRect& r = window(s, c).content;
        checkSize(c, c.int32(1), c.int32(2));
        std::int32_t width = screenArg(c, 1), height = screenArg(c, 2);
        if (height < kWindowTitleBarHeight + kWindowBorder || width < 2 * kWindowBorder) {
            throw callError(c, "a frame of " + std::to_string(width) + " x " +
                                   std::to_string(height) +
                                   " leaves no room for the title bar and the border.");
        }
        r.right = r.left + width - 2 * kWindowBorder;
        r.bottom = r.top + height - kWindowTitleBarHeight - kWindowBorder;
    });
}

void defineState(Host& host, Host::State& s) {
    host.define("Boolean WindowIsValid( Window )", [&s](NativeCall& c) {
        c.setResultBoolean(
            isLiveArg(s, c, 0, [](ObjectKind k) { return k == ObjectKind::Window; }));
    });
    host.define("long WindowGetType( Window )", [&s](NativeCall& c) {
        window(s, c);
        c.setResult(kWindowTypeImageDocument);
    });
    host.define("qz_string WindowGetTitle( Window )", [&s](NativeCall& c) {
        c.setResultHandle(newCallerString(s, windowTitle(s, windowArg(s, c, 0))));
    });
    host.define("void WindowSetTitle( Window, qz_string )", [&s](NativeCall& c) {
        WindowData& w = window(s, c);
        w.title = stringArg(s, c, 1);
        w.titleSet = true;
    });
    host.define("Boolean WindowIsOpen( Window )",
                [&s](NativeCall& c) { c.setResultBoolean(window(s, c).open); });
    host.define("Boolean WindowIsShown( Window )",
                [&s](NativeCall& c) { c.setResultBoolean(window(s, c).shown); });
    host.define("void WindowShow( Window )",
                [&s](NativeCall& c) { openWindow(s, c, 0).shown = true; });
    host.define("void WindowHide( Window )",
                [&s](NativeCall& c) { openWindow(s, c, 0).shown = false; });
    host.define("void WindowSelect( Window )", [&s](NativeCall& c) {
        openWindow(s, c, 0).shown = true;
        toFront(viewsOf(s), c.handle(0));
    });
    host.define("void WindowSendBehind( Window, Window )", [&s](NativeCall& c) {
        openWindow(s, c, 0);
        openWindow(s, c, 1);
        Vorna::Handle moved = c.handle(0), ahead = c.handle(1);
        if (moved == ahead) throw callError(c, "a window cannot go behind itself.");
        std::vector<Vorna::Handle>& order = viewsOf(s).windowOrder;
        order.erase(std::remove(order.begin(), order.end(), moved), order.end());
        order.insert(std::find(order.begin(), order.end(), ahead) + 1, moved);
    });
    // A headless host never asks whether to save: the Boolean is not looked at.
    host.define("void WindowClose( Window, Boolean )", [&s](NativeCall& c) {
        HostObject& w = windowArg(s, c, 0);
        if (HostObject* doc = s.live(w.window->document, ObjectKind::ImageDocument)) {
            closeDocument(s, *doc);
        } else {
            w.window->open = w.window->shown = false;
            std::vector<Vorna::Handle>& order = viewsOf(s).windowOrder;
            order.erase(std::remove(order.begin(), order.end(), w.handle), order.end());
        }
    });
    host.define("void WindowUpdate( Window )", [&s](NativeCall& c) { windowArg(s, c, 0); });
}

void defineFrontImage(Host& host, Host::State& s) {
    host.define("ImageRef GetFrontImage(  )", [&s](NativeCall& c) {
        Vorna::Handle image = frontImage(s);
        if (!image) throw callError(c, "no window shows an image.");
        c.setResultHandle(toCaller(*s.find(image)));
    });
    host.define("Boolean GetFrontImage( ImageRef * )", [&s](NativeCall& c) {
        Vorna::Handle image = frontImage(s);
        if (image) storeReference(s, c, 0, toCaller(*s.find(image)));
        c.setResultBoolean(image != 0);
    });
}

}  // namespace

std::u16string windowTitle(Host::State& s, HostObject& window) {
    WindowData& w = windowOf(window);
    if (w.titleSet) return w.title;
    HostObject* doc = s.live(w.document, ObjectKind::ImageDocument);
    return doc && doc->document ? doc->document->name : w.title;
}

HostObject& showDocument(Host::State& s, HostObject& doc) {
    DocumentData& d = documentOf(s, doc);
    if (!d.inInterface) {
        hold(doc);
        d.inInterface = true;
    }
    HostObject* window = s.live(d.window, ObjectKind::Window);
    if (!window) {
        window = &s.newObject(ObjectKind::Window, 0, 1);
        windowOf(*window).document = doc.handle;
        window->window->content = defaultContent(s, doc);
        d.window = window->handle;
    }
    window->window->open = true;
    window->window->shown = true;
    toFront(viewsOf(s), window->handle);
    return *window;
}

void closeDocument(Host::State& s, HostObject& doc) {
    DocumentData& d = documentOf(s, doc);
    if (HostObject* window = s.live(d.window, ObjectKind::Window); window && window->window) {
        window->window->open = window->window->shown = false;
        std::vector<Vorna::Handle>& order = viewsOf(s).windowOrder;
        order.erase(std::remove(order.begin(), order.end(), window->handle), order.end());
    }
    if (d.inInterface) {
        d.inInterface = false;
        letGo(s, doc.handle);  // last: the document may end here
    }
}

void defineWindowFunctions(Host& host) {
    Host::State& s = host.state();
    defineBounds(host, s);
    defineState(host, s);
    defineFrontImage(host, s);
}

}  // namespace StandIn
