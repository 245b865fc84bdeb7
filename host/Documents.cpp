// Image documents: an image's document, the images and displays under a document's root, its
// name, modes and place in the user interface; and the host's own way to show an image.
#include <algorithm>

#include "ViewState.h"

namespace StandIn {
namespace {

DocumentData& document(Host::State& s, NativeCall& c) { return *documentArg(s, c, 0).document; }

// The first document, in the order they were made, that shows the image.
HostObject* documentOfImage(Host::State& s, Vorna::Handle image) {
    for (auto& entry : s.objects) {
        HostObject& o = entry.second;
        if (!o.alive || o.kind != ObjectKind::ImageDocument) continue;
        std::vector<Vorna::Handle> images = imagesOfDocument(s, o);
        if (std::find(images.begin(), images.end(), image) != images.end()) return &o;
    }
    return nullptr;
}

// A new display of the image at the end of the document's root.
HostObject& addImageDisplay(Host::State& s, NativeCall* c, HostObject& doc, Vorna::Handle image,
                            std::int32_t type, int moduleCount) {
    HostObject& display = newDisplay(s, image, type, moduleCount, 0);
    addChild(s, c, *s.find(documentOf(s, doc).root), display);
    return display;
}

// The display that image mode shows: the one chosen while it is in the document, else the first.
Vorna::Handle imageModeDisplay(Host::State& s, HostObject& doc) {
    std::vector<Vorna::Handle> displays = displaysOfDocument(s, doc);
    Vorna::Handle chosen = doc.document->imageModeDisplay;
    if (std::find(displays.begin(), displays.end(), chosen) != displays.end()) return chosen;
    return displays.empty() ? 0 : displays.front();
}

std::u16string imageName(Host::State& s, Vorna::Handle image) {
    HostObject* o = s.live(image, ObjectKind::Image);
    return o ? latin1ToUnits(o->image->name.data(), o->image->name.size()) : std::u16string();
}

void defineContents(Host& host, Host::State& s) {
    host.define("ImageDocument ImageGetOrCreateImageDocument( ImageRef )", [&s](NativeCall& c) {
        HostObject& image = imageArg(s, c, 0);
        if (HostObject* doc = documentOfImage(s, image.handle)) {
            c.setResultHandle(toCaller(*doc));
            return;
        }
        HostObject& doc = newDocument(s, imageName(s, image.handle), 1);
        addImageDisplay(s, &c, doc, image.handle,
                        resolveDisplayType(s, image.handle, kDisplayTypeDefault), 0);
        c.setResultHandle(doc.handle);
    });
    host.define("void ImageDocumentAddImage( ImageDocument, ImageRef )", [&s](NativeCall& c) {
        HostObject& doc = documentArg(s, c, 0);
        HostObject& image = imageArg(s, c, 1);
        addImageDisplay(s, &c, doc, image.handle,
                        resolveDisplayType(s, image.handle, kDisplayTypeDefault), 0);
    });
    host.define("ImageDisplay ImageDocumentAddImageDisplay( ImageDocument, ImageRef, long )",
                [&s](NativeCall& c) {
                    HostObject& doc = documentArg(s, c, 0);
                    HostObject& image = imageArg(s, c, 1);
                    std::int32_t type = resolveDisplayType(s, image.handle, c.int32(2));
                    displayKind(c, type);
                    c.setResultHandle(addImageDisplay(s, &c, doc, image.handle, type, 1).handle);
                });
    host.define("void ImageDocumentDeleteImage( ImageDocument, ImageRef )", [&s](NativeCall& c) {
        HostObject& doc = documentArg(s, c, 0);
        HostObject& image = imageArg(s, c, 1);
        bool found = false;
        for (Vorna::Handle h : displaysOfDocument(s, doc)) {
            HostObject* display = s.find(h);
            if (display->alive && display->display && display->display->image == image.handle) {
                removeFromParent(s, *display);
                found = true;
            }
        }
        if (!found) {
            throw callError(c, "the image " + hexHandle(image.handle) + " is not in the document " +
                                   hexHandle(doc.handle) + ".");
        }
    });
    host.define("long ImageDocumentCountImages( ImageDocument )", [&s](NativeCall& c) {
        c.setResult(static_cast<std::int32_t>(imagesOfDocument(s, documentArg(s, c, 0)).size()));
    });
    host.define("ImageRef ImageDocumentGetImage( ImageDocument, long )", [&s](NativeCall& c) {
        std::vector<Vorna::Handle> images = imagesOfDocument(s, documentArg(s, c, 0));
        checkIndex(c, c.int32(1), images.size(), "image", "images");
        c.setResultHandle(toCaller(*s.find(images[static_cast<std::size_t>(c.int32(1))])));
    });
    host.define("Component ImageDocumentGetRootComponent( ImageDocument )",
                [&s](NativeCall& c) { c.setResultHandle(toCaller(*s.find(document(s, c).root))); });
    host.define(
        "Component ImageDocumentGetComponentByID( ImageDocument, long )", [&s](NativeCall& c) {
            HostObject& root = *s.find(document(s, c).root);
            ComponentData& page = componentOf(s, root);
            Vorna::Handle found =
                page.id == c.int32(1) ? root.handle : findComponentById(s, page, c.int32(1), true);
            c.setResultHandle(found ? toCaller(*s.find(found)) : 0);
        });
}

void defineState(Host& host, Host::State& s) {
    host.define("Boolean ImageDocumentIsValid( ImageDocument )", [&s](NativeCall& c) {
        c.setResultBoolean(
            isLiveArg(s, c, 0, [](ObjectKind k) { return k == ObjectKind::ImageDocument; }));
    });
    host.define("long ImageDocumentGetID( ImageDocument )",
                [&s](NativeCall& c) { c.setResult(document(s, c).id); });
    host.define("qz_string ImageDocumentGetName( ImageDocument )", [&s](NativeCall& c) {
        c.setResultHandle(newCallerString(s, document(s, c).name));
    });
    host.define("void ImageDocumentSetName( ImageDocument, qz_string )", [&s](NativeCall& c) {
        DocumentData& d = document(s, c);
        d.name = stringArg(s, c, 1);
    });
    host.define("Boolean ImageDocumentIsInImageMode( ImageDocument )",
                [&s](NativeCall& c) { c.setResultBoolean(!document(s, c).pageMode); });
    host.define("Boolean ImageDocumentIsInPageMode( ImageDocument )",
                [&s](NativeCall& c) { c.setResultBoolean(document(s, c).pageMode); });
    host.define("void ImageDocumentSwitchToPageMode( ImageDocument )",
                [&s](NativeCall& c) { document(s, c).pageMode = true; });
    host.define(
        "void ImageDocumentSwitchToImageMode( ImageDocument, ImageDisplay )", [&s](NativeCall& c) {
            HostObject& doc = documentArg(s, c, 0);
            HostObject& display = displayArg(s, c, 1);
            std::vector<Vorna::Handle> displays = displaysOfDocument(s, doc);
            if (std::find(displays.begin(), displays.end(), display.handle) == displays.end()) {
                throw callError(c, "the display " + hexHandle(display.handle) +
                                       " is not in the document " + hexHandle(doc.handle) + ".");
            }
            doc.document->pageMode = false;
            doc.document->imageModeDisplay = display.handle;
        });
    host.define("ImageDisplay ImageDocumentGetImageModeDisplay( ImageDocument )",
                [&s](NativeCall& c) {
                    Vorna::Handle h = imageModeDisplay(s, documentArg(s, c, 0));
                    c.setResultHandle(h ? toCaller(*s.find(h)) : 0);
                });
    host.define("void ImageDocumentEnsurePlacedOnPage( ImageDocument )",
                [&s](NativeCall& c) { document(s, c).placedOnPage = true; });
    host.define("Boolean ImageDocumentHasBeenPlacedOnPage( ImageDocument )",
                [&s](NativeCall& c) { c.setResultBoolean(document(s, c).placedOnPage); });
    // Nothing is drawn and nothing is saved: these only check their document.
    host.define("void ImageDocumentClean( ImageDocument )",
                [&s](NativeCall& c) { documentArg(s, c, 0); });
    host.define("void ImageDocumentUpdateDisplay( ImageDocument )",
                [&s](NativeCall& c) { documentArg(s, c, 0); });
}

void defineInterface(Host& host, Host::State& s) {
    host.define("Window ImageDocumentShow( ImageDocument )", [&s](NativeCall& c) {
        c.setResultHandle(toCaller(showDocument(s, documentArg(s, c, 0))));
    });
    host.define("Window ImageDocumentShowAtPosition( ImageDocument, long, long )",
                [&s](NativeCall& c) {
                    HostObject& doc = documentArg(s, c, 0);
                    std::int32_t x = screenArg(c, 1), y = screenArg(c, 2);
                    HostObject& window = showDocument(s, doc);
                    LongRect& r = window.window->content;
                    r = LongRect{y, x, y + (r.bottom - r.top), x + (r.right - r.left)};
                    c.setResultHandle(toCaller(window));
                });
    host.define("Window ImageDocumentShowAtRect( ImageDocument, long, long, long, long )",
                [&s](NativeCall& c) {
                    HostObject& doc = documentArg(s, c, 0);
                    LongRect r{screenArg(c, 1), screenArg(c, 2), screenArg(c, 3), screenArg(c, 4)};
                    checkRect(c, r.top, r.left, r.bottom, r.right);
                    HostObject& window = showDocument(s, doc);
                    window.window->content = r;
                    c.setResultHandle(toCaller(window));
                });
    host.define("void ImageDocumentAddToUserInterface( ImageDocument )",
                [&s](NativeCall& c) { showDocument(s, documentArg(s, c, 0)); });
    host.define("void ImageDocumentHide( ImageDocument )", [&s](NativeCall& c) {
        HostObject* window = s.live(document(s, c).window, ObjectKind::Window);
        if (window && window->window) window->window->shown = false;
    });
    // A headless host never asks whether to save: the Boolean is not looked at.
    host.define("void ImageDocumentClose( ImageDocument, Boolean )",
                [&s](NativeCall& c) { closeDocument(s, documentArg(s, c, 0)); });
    host.define("void ImageDocumentRemoveFromUserInterface( ImageDocument )",
                [&s](NativeCall& c) { closeDocument(s, documentArg(s, c, 0)); });
    host.define("Window ImageDocumentGetWindow( ImageDocument )", [&s](NativeCall& c) {
        HostObject* window = s.live(document(s, c).window, ObjectKind::Window);
        c.setResultHandle(window ? toCaller(*window) : 0);
    });
}

}  // namespace

void defineDocumentFunctions(Host& host) {
    Host::State& s = host.state();
    defineContents(host, s);
    defineState(host, s);
    defineInterface(host, s);
}

// ---- The host's API ---------------------------------------------------------------------------

Vorna::Handle Host::showImage(Vorna::Handle image) {
    State& s = *fState;
    if (!isImage(image)) throw std::invalid_argument(hexHandle(image) + " is no live image");
    HostObject* doc = documentOfImage(s, image);
    if (!doc) {
        doc = &newDocument(s, imageName(s, image), 0);
        addImageDisplay(s, nullptr, *doc, image, resolveDisplayType(s, image, kDisplayTypeDefault),
                        0);
    }
    showDocument(s, *doc);
    for (Vorna::Handle h : displaysOfDocument(s, *doc))
        if (s.find(h)->display && s.find(h)->display->image == image) return h;
    throw std::logic_error("showImage: the image's document lost its display");
}

std::vector<DocumentInfo> Host::shownDocuments() const {
    State& s = *fState;
    std::vector<DocumentInfo> out;
    if (!s.views) return out;
    for (Vorna::Handle w : s.views->windowOrder) {
        HostObject* window = s.live(w, ObjectKind::Window);
        if (!window || !window->window) continue;
        HostObject* doc = s.live(window->window->document, ObjectKind::ImageDocument);
        if (!doc || !doc->document || !doc->document->inInterface) continue;
        DocumentInfo info;
        info.document = doc->handle;
        info.name = unitsToLatin1(doc->document->name);
        info.title = unitsToLatin1(windowTitle(s, *window));
        info.shown = window->window->shown;
        info.images = imagesOfDocument(s, *doc);
        out.push_back(std::move(info));
    }
    return out;
}

}  // namespace StandIn
