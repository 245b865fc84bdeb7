// What documents, displays, components, windows and ROIs share: their state made on first use,
// the counts their links hold, parameter checks and the component tree.
#include "ViewState.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace StandIn {
namespace {

// What a handle of each kind is called in messages, with its article.
const char* describedKind(ObjectKind kind) {
    switch (kind) {
        case ObjectKind::Image: return "an image";
        case ObjectKind::RegionOfInterest: return "an ROI";
        case ObjectKind::Component: return "a component";
        case ObjectKind::ImageDisplay: return "an image display";
        case ObjectKind::LinePlotImageDisplay: return "a line-plot display";
        case ObjectKind::RasterImageDisplay: return "a raster display";
        case ObjectKind::SurfacePlotImageDisplay: return "a surface-plot display";
        case ObjectKind::ImageDocument: return "an image document";
        case ObjectKind::TagGroup: return "a tag group";
        case ObjectKind::Window: return "a window";
        case ObjectKind::ScriptObject: return "a script object";
        case ObjectKind::String: return "a string";
        case ObjectKind::Throwable: return "a throwable";
        case ObjectKind::Function: return "a function";
    }
    return "an object";
}

std::string noun(ObjectKind kind) {
    std::string text = describedKind(kind);
    return text.substr(text.find(' ') + 1);
}

HostObject& argOf(Host::State& s, NativeCall& c, std::size_t i, const std::string& what,
                  bool (*accepts)(ObjectKind)) {
    Vorna::Handle h = c.handle(i);
    HostObject* o = s.find(h);
    if (o && o->alive && accepts(o->kind)) return *o;
    std::string reason;
    if (h == 0)
        reason = "an empty reference (handle 0)";
    else if (!o)
        reason = "not a handle of this host";
    else if (!o->alive)
        reason = "it has been released";
    else
        reason = std::string("it is ") + describedKind(o->kind);
    throw callError(c, "the " + what + " " + hexHandle(h) + " is not valid: " + reason + ".");
}

template <ObjectKind K>
bool isKind(ObjectKind kind) {
    return kind == K;
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

void eraseHandle(std::vector<Vorna::Handle>& handles, Vorna::Handle h) {
    handles.erase(std::remove(handles.begin(), handles.end(), h), handles.end());
}

void collectDisplays(Host::State& s, Vorna::Handle node, std::vector<Vorna::Handle>& out,
                     int depth) {
    HostObject* o = s.find(node);
    if (!o || !o->alive || !o->component || depth > 1000) return;
    if (isDisplayKind(o->kind)) out.push_back(node);
    for (Vorna::Handle child : o->component->children) collectDisplays(s, child, out, depth + 1);
}

}  // namespace

// ---- State of objects -----------------------------------------------------------------------

ViewsState& viewsOf(Host::State& s) {
    if (!s.views) s.views = std::make_shared<ViewsState>();
    return *s.views;
}

bool isDisplayKind(ObjectKind kind) {
    return kind == ObjectKind::ImageDisplay || kind == ObjectKind::LinePlotImageDisplay ||
           kind == ObjectKind::RasterImageDisplay || kind == ObjectKind::SurfacePlotImageDisplay;
}

bool isComponentKind(ObjectKind kind) {
    return kind == ObjectKind::Component || isDisplayKind(kind);
}

ComponentData& componentOf(Host::State& s, HostObject& o) {
    if (!o.component) {
        o.component = std::make_shared<ComponentData>();
        o.component->id = viewsOf(s).nextComponentId++;
        if (isDisplayKind(o.kind)) o.component->type = kComponentImageDisplay;
    }
    return *o.component;
}

DisplayData& displayOf(HostObject& o) {
    if (!o.display) {
        o.display = std::make_shared<DisplayData>();
        switch (o.kind) {
            case ObjectKind::LinePlotImageDisplay: o.display->type = kDisplayTypeLinePlot; break;
            case ObjectKind::SurfacePlotImageDisplay:
                o.display->type = kDisplayTypeSurfacePlot;
                break;
            case ObjectKind::ImageDisplay: o.display->type = kDisplayTypeTable; break;
            default: o.display->type = kDisplayTypeRaster; break;
        }
    }
    return *o.display;
}

DocumentData& documentOf(Host::State& s, HostObject& o) {
    if (!o.document) {
        o.document = std::make_shared<DocumentData>();
        o.document->id = viewsOf(s).nextDocumentId++;
        HostObject& root = s.newObject(ObjectKind::Component, 0, 1);
        ComponentData& page = componentOf(s, root);
        page.type = kComponentPage;
        page.document = o.handle;
        o.document->root = root.handle;
    }
    return *o.document;
}

WindowData& windowOf(HostObject& o) {
    if (!o.window) o.window = std::make_shared<WindowData>();
    return *o.window;
}

RoiData& roiOf(Host::State& s, HostObject& o) {
    if (!o.roi) {
        o.roi = std::make_shared<RoiData>();
        o.roi->spec.shape = RoiShape::Curve;  // one made without a shape: no vertices yet
        o.roi->spec.id = viewsOf(s).nextRoiId++;
    }
    return *o.roi;
}

void releaseViewLinks(Host::State& s, HostObject& o) {
    // Taken out first: what is given back may die and come back here.
    std::shared_ptr<ComponentData> component = std::move(o.component);
    std::shared_ptr<DisplayData> display = std::move(o.display);
    std::shared_ptr<DocumentData> document = std::move(o.document);
    std::shared_ptr<WindowData> window = std::move(o.window);
    o.roi.reset();
    if (window && s.views) eraseHandle(s.views->windowOrder, o.handle);
    if (component) {
        for (Vorna::Handle child : component->children) {
            HostObject* c = s.find(child);
            if (c && c->alive && c->component) c->component->parent = 0;
            letGo(s, child);
        }
    }
    if (display) {
        letGo(s, display->image);
        for (const DisplayRoi& r : display->rois) letGo(s, r.roi);
    }
    if (document) {
        HostObject* root = s.find(document->root);
        if (root && root->alive && root->component) root->component->document = 0;
        letGo(s, document->root);
        HostObject* w = s.find(document->window);
        if (w && w->alive && w->window) {
            w->window->document = 0;
            w->window->open = false;
            w->window->shown = false;
            if (s.views) eraseHandle(s.views->windowOrder, w->handle);
        }
        letGo(s, document->window);
    }
}

// ---- Counting -------------------------------------------------------------------------------

Vorna::Handle toCaller(HostObject& o) {
    ++o.count;
    return o.handle;
}

void hold(HostObject& o) {
    ++o.count;
    ++o.hostCount;
}

void letGo(Host::State& s, Vorna::Handle h) {
    if (h == 0) return;
    HostObject* o = s.find(h);
    if (!o || !o->alive || o->hostCount <= 0) {
        s.anomaly("a document, display or component lost the count it held on " + hexHandle(h));
        return;
    }
    --o->hostCount;
    s.dropCount(*o);
}

void storeReference(Host::State& s, NativeCall& c, std::size_t i, Vorna::Handle h) {
    auto* word = c.pointerTo<Vorna::Handle>(i);
    if (!word) {
        if (HostObject* o = s.find(h); o && o->alive) s.dropCount(*o);
        return;
    }
    Vorna::Handle old = *word;
    *word = h;
    if (HostObject* o = s.find(old); o && o->alive && o->moduleCount() > 0) s.dropCount(*o);
}

// ---- Parameters -----------------------------------------------------------------------------

ScriptError callError(const NativeCall& c, const std::string& text) {
    return ScriptError(c.signature().name + ": " + text);
}

HostObject& imageArg(Host::State& s, NativeCall& c, std::size_t i) {
    return argOf(s, c, i, "image", isKind<ObjectKind::Image>);
}

HostObject& componentArg(Host::State& s, NativeCall& c, std::size_t i) {
    HostObject& o = argOf(s, c, i, "component", isComponentKind);
    componentOf(s, o);
    return o;
}

HostObject& displayArg(Host::State& s, NativeCall& c, std::size_t i) {
    HostObject& o = argOf(s, c, i, "image display", isDisplayKind);
    componentOf(s, o);
    displayOf(o);
    return o;
}

HostObject& kindArg(Host::State& s, NativeCall& c, std::size_t i, ObjectKind kind) {
    bool (*accepts)(ObjectKind) = nullptr;
    switch (kind) {
        case ObjectKind::LinePlotImageDisplay:
            accepts = isKind<ObjectKind::LinePlotImageDisplay>;
            break;
        case ObjectKind::RasterImageDisplay:
            accepts = isKind<ObjectKind::RasterImageDisplay>;
            break;
        case ObjectKind::SurfacePlotImageDisplay:
            accepts = isKind<ObjectKind::SurfacePlotImageDisplay>;
            break;
        default: throw std::logic_error("kindArg: not a special display kind");
    }
    HostObject& o = argOf(s, c, i, noun(kind), accepts);
    componentOf(s, o);
    displayOf(o);
    return o;
}

HostObject& documentArg(Host::State& s, NativeCall& c, std::size_t i) {
    HostObject& o = argOf(s, c, i, "image document", isKind<ObjectKind::ImageDocument>);
    documentOf(s, o);
    return o;
}

HostObject& windowArg(Host::State& s, NativeCall& c, std::size_t i) {
    HostObject& o = argOf(s, c, i, "window", isKind<ObjectKind::Window>);
    windowOf(o);
    return o;
}

HostObject& roiArg(Host::State& s, NativeCall& c, std::size_t i) {
    HostObject& o = argOf(s, c, i, "ROI", isKind<ObjectKind::RegionOfInterest>);
    roiOf(s, o);
    return o;
}

std::u16string stringArg(Host::State& s, NativeCall& c, std::size_t i) {
    return argOf(s, c, i, "string", isKind<ObjectKind::String>).text;
}

bool isLiveArg(Host::State& s, NativeCall& c, std::size_t i, bool (*accepts)(ObjectKind)) {
    const HostObject* o = s.find(c.handle(i));
    return o && o->alive && accepts(o->kind);
}

float coordinateArg(NativeCall& c, std::size_t i) {
    float v = c.float32(i);
    if (!std::isfinite(v)) {
        throw callError(c, "parameter " + std::to_string(i + 1) + " is not a finite number (" +
                               number(v) + ").");
    }
    return v;
}

std::int32_t screenArg(NativeCall& c, std::size_t i) {
    std::int32_t v = c.int32(i);
    if (v < -kWindowCoordinateLimit || v > kWindowCoordinateLimit) {
        throw callError(c, "parameter " + std::to_string(i + 1) + " (" + std::to_string(v) +
                               ") lies beyond " + std::to_string(kWindowCoordinateLimit) +
                               " pixels from 0.");
    }
    return v;
}

void checkIndex(NativeCall& c, std::int32_t index, std::size_t count, const char* singular,
                const char* plural) {
    if (index >= 0 && static_cast<std::size_t>(index) < count) return;
    throw callError(c, "index " + std::to_string(index) + " is out of range for " +
                           std::to_string(count) + " " + (count == 1 ? singular : plural) + ".");
}

void checkRect(NativeCall& c, double top, double left, double bottom, double right) {
    if (bottom < top) {
        throw callError(
            c, "the bottom (" + number(bottom) + ") lies above the top (" + number(top) + ").");
    }
    if (right < left) {
        throw callError(c, "the right side (" + number(right) + ") lies left of the left side (" +
                               number(left) + ").");
    }
}

// ---- Objects --------------------------------------------------------------------------------

Vorna::Handle newCallerString(Host::State& s, const std::u16string& text) {
    return s.newString(text, 1, 0);
}

ObjectKind displayKind(NativeCall& c, std::int32_t type) {
    switch (type) {
        case kDisplayTypeRaster: return ObjectKind::RasterImageDisplay;
        case kDisplayTypeSurfacePlot: return ObjectKind::SurfacePlotImageDisplay;
        case kDisplayTypeLinePlot: return ObjectKind::LinePlotImageDisplay;
        case kDisplayTypeTable: return ObjectKind::ImageDisplay;
        default:
            throw callError(c, "display type " + std::to_string(type) +
                                   " is none of 0 (default), 1 (raster), 2 (surface plot), 3 "
                                   "(line plot), 4 (table).");
    }
}

std::int32_t resolveDisplayType(Host::State& s, Vorna::Handle image, std::int32_t type) {
    if (type != kDisplayTypeDefault) return type;
    HostObject* o = s.live(image, ObjectKind::Image);
    bool oneRow = o && o->image && (o->image->sizes.size() < 2 || o->image->sizes[1] == 1);
    return oneRow ? kDisplayTypeLinePlot : kDisplayTypeRaster;
}

HostObject& newDisplay(Host::State& s, Vorna::Handle image, std::int32_t type, int moduleCount,
                       int hostCount) {
    ObjectKind kind = ObjectKind::RasterImageDisplay;
    switch (type) {
        case kDisplayTypeSurfacePlot: kind = ObjectKind::SurfacePlotImageDisplay; break;
        case kDisplayTypeLinePlot: kind = ObjectKind::LinePlotImageDisplay; break;
        case kDisplayTypeTable: kind = ObjectKind::ImageDisplay; break;
        default: break;
    }
    HostObject& o = s.newObject(kind, moduleCount, hostCount);
    componentOf(s, o);
    DisplayData& d = displayOf(o);
    d.type = type;
    if (HostObject* im = s.live(image, ObjectKind::Image)) {
        hold(*im);
        d.image = image;
        const std::vector<std::uint32_t>& sizes = im->image->sizes;
        auto width = static_cast<float>(sizes[0]);
        auto height = static_cast<float>(sizes.size() > 1 ? sizes[1] : 1);
        d.imageRect = FloatRect{0.0f, 0.0f, height, width};
        d.lastChannel = width;
        o.component->rect = d.imageRect;
    }
    return o;
}

HostObject& newDocument(Host::State& s, const std::u16string& name, int moduleCount) {
    HostObject& o = s.newObject(ObjectKind::ImageDocument, moduleCount, 0);
    documentOf(s, o).name = name;
    return o;
}

void addChild(Host::State& s, NativeCall* c, HostObject& parent, HostObject& child,
              ChildPosition where) {
    auto fail = [c](const std::string& text) {
        if (c) throw callError(*c, text);
        throw std::invalid_argument(text);
    };
    ComponentData& into = componentOf(s, parent);
    if (componentOf(s, child).type == kComponentPage)
        fail("the root component " + hexHandle(child.handle) + " of a document cannot be a child.");
    for (Vorna::Handle up = parent.handle; up != 0;) {
        if (up == child.handle)
            fail("the component " + hexHandle(child.handle) + " cannot be put inside itself.");
        HostObject* o = s.find(up);
        up = (o && o->alive && o->component) ? o->component->parent : 0;
    }
    bool nextToSibling =
        where.at == ChildPosition::At::Before || where.at == ChildPosition::At::After;
    if (nextToSibling) {
        if (where.sibling == child.handle)
            fail("the component " + hexHandle(child.handle) + " cannot be placed next to itself.");
        if (std::find(into.children.begin(), into.children.end(), where.sibling) ==
            into.children.end())
            fail("the component " + hexHandle(where.sibling) + " is no child of " +
                 hexHandle(parent.handle) + ".");
    }
    hold(child);  // first, so that leaving the old parent does not end it
    removeFromParent(s, child);
    auto at = into.children.end();
    if (where.at == ChildPosition::At::Beginning) at = into.children.begin();
    if (nextToSibling) {
        at = std::find(into.children.begin(), into.children.end(), where.sibling);
        if (where.at == ChildPosition::At::After) ++at;
    }
    into.children.insert(at, child.handle);
    child.component->parent = parent.handle;
}

void removeFromParent(Host::State& s, HostObject& child) {
    ComponentData& c = componentOf(s, child);
    Vorna::Handle parent = c.parent;
    if (parent == 0) return;
    c.parent = 0;
    HostObject* p = s.find(parent);
    if (p && p->alive && p->component) {
        std::vector<Vorna::Handle>& siblings = p->component->children;
        auto at = std::find(siblings.begin(), siblings.end(), child.handle);
        if (at != siblings.end()) {
            siblings.erase(at);
            letGo(s, child.handle);  // may end the child
        }
    }
}

Vorna::Handle documentOfComponent(Host::State& s, Vorna::Handle component) {
    Vorna::Handle at = component;
    for (int depth = 0; depth < 1000; ++depth) {
        HostObject* o = s.find(at);
        if (!o || !o->alive || !o->component) return 0;
        if (o->component->parent == 0) {
            Vorna::Handle doc = o->component->document;
            return s.live(doc, ObjectKind::ImageDocument) ? doc : 0;
        }
        at = o->component->parent;
    }
    return 0;
}

std::vector<Vorna::Handle> displaysOfDocument(Host::State& s, HostObject& document) {
    std::vector<Vorna::Handle> out;
    collectDisplays(s, documentOf(s, document).root, out, 0);
    return out;
}

std::vector<Vorna::Handle> imagesOfDocument(Host::State& s, HostObject& document) {
    std::vector<Vorna::Handle> out;
    for (Vorna::Handle h : displaysOfDocument(s, document)) {
        Vorna::Handle image = s.find(h)->display ? s.find(h)->display->image : 0;
        if (image != 0 && s.live(image, ObjectKind::Image) &&
            std::find(out.begin(), out.end(), image) == out.end())
            out.push_back(image);
    }
    return out;
}

std::vector<Vorna::Handle> displaysOfImage(Host::State& s, Vorna::Handle image) {
    std::vector<Vorna::Handle> out;
    if (image == 0) return out;
    // Handles grow with every new object, so the table's order is the order they were made.
    for (const auto& entry : s.objects) {
        const HostObject& o = entry.second;
        if (o.alive && isDisplayKind(o.kind) && o.display && o.display->image == image)
            out.push_back(o.handle);
    }
    return out;
}

}  // namespace StandIn
