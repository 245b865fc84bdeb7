// Components: the trees under documents' roots and under displays, their rectangles, selection,
// drawing modes and text attributes. Every display kind serves as a component.
#include <algorithm>

#include "ViewState.h"

namespace StandIn {
namespace {

bool isAnnotationType(std::int32_t type) {
    return type >= kComponentLine && type <= kComponentGroup;
}

std::vector<Vorna::Handle> childrenOfType(Host::State& s, const ComponentData& parent,
                                          std::int32_t type) {
    std::vector<Vorna::Handle> out;
    for (Vorna::Handle child : parent.children) {
        HostObject* o = s.find(child);
        if (o && o->alive && o->component && o->component->type == type) out.push_back(child);
    }
    return out;
}

FloatRect boundingRect(Host::State& s, const ComponentData& c, int depth) {
    FloatRect r = c.rect;
    if (depth > 1000) return r;
    for (Vorna::Handle child : c.children) {
        HostObject* o = s.find(child);
        if (!o || !o->alive || !o->component) continue;
        FloatRect b = boundingRect(s, *o->component, depth + 1);
        r.top = std::min(r.top, b.top);
        r.left = std::min(r.left, b.left);
        r.bottom = std::max(r.bottom, b.bottom);
        r.right = std::max(r.right, b.right);
    }
    return r;
}

void writeRect(NativeCall& c, std::size_t first, const FloatRect& r) {
    const float values[4] = {r.top, r.left, r.bottom, r.right};
    for (std::size_t k = 0; k < 4; ++k)
        if (auto* p = c.pointerTo<float>(first + k)) *p = values[k];
}

FloatRect rectArgs(NativeCall& c, std::size_t first) {
    FloatRect r{coordinateArg(c, first), coordinateArg(c, first + 1), coordinateArg(c, first + 2),
                coordinateArg(c, first + 3)};
    checkRect(c, r.top, r.left, r.bottom, r.right);
    return r;
}

std::int32_t fontSizeArg(NativeCall& c, std::size_t i) {
    std::int32_t size = c.int32(i);
    if (size < 1)
        throw callError(c, "a font size of " + std::to_string(size) + " is not positive.");
    return size;
}

// A copy of a component; with `deep`, of its descendants too. A display's copy shows the same
// image and holds copies of its ROIs; a copy of a root is a group.
HostObject& cloneComponent(Host::State& s, HostObject& source, bool deep, int moduleCount,
                           int hostCount, int depth) {
    ComponentData& from = componentOf(s, source);
    HostObject* made = nullptr;
    if (isDisplayKind(source.kind)) {
        DisplayData& d = displayOf(source);
        made = &newDisplay(s, d.image, d.type, moduleCount, hostCount);
        DisplayData& copy = *made->display;
        Vorna::Handle image = copy.image;  // the one the copy holds
        copy = d;
        copy.image = image;
        copy.rois.clear();
        for (DisplayRoi r : d.rois) {
            HostObject* roi = s.live(r.roi, ObjectKind::RegionOfInterest);
            if (!roi) continue;
            r.roi = cloneRoi(s, *roi, 0, 1).handle;
            copy.rois.push_back(r);
        }
    } else {
        made = &s.newObject(ObjectKind::Component, moduleCount, hostCount);
    }
    ComponentData& to = componentOf(s, *made);
    std::int32_t id = to.id;
    std::vector<Vorna::Handle> children = from.children;
    to = from;
    to.id = id;
    to.parent = 0;
    to.document = 0;
    to.children.clear();
    if (to.type == kComponentPage) to.type = kComponentGroup;
    if (deep && depth < 1000) {
        for (Vorna::Handle child : children) {
            HostObject* o = s.find(child);
            if (!o || !o->alive || !isComponentKind(o->kind)) continue;
            HostObject& copy = cloneComponent(s, *o, true, 0, 0, depth + 1);
            addChild(s, nullptr, *made, copy);
        }
    }
    return *made;
}

void defineTree(Host& host, Host::State& s) {
    using At = ChildPosition::At;
    host.define("void ComponentAddChildAtBeginning( Component, Component )", [&s](NativeCall& c) {
        addChild(s, &c, componentArg(s, c, 0), componentArg(s, c, 1), {At::Beginning, 0});
    });
    host.define("void ComponentAddChildAtEnd( Component, Component )", [&s](NativeCall& c) {
        addChild(s, &c, componentArg(s, c, 0), componentArg(s, c, 1), {At::End, 0});
    });
    host.define("void ComponentAddChildBefore( Component, Component, Component )", [&s](NativeCall&
                                                                                            c) {
        HostObject& sibling = componentArg(s, c, 2);
        addChild(s, &c, componentArg(s, c, 0), componentArg(s, c, 1), {At::Before, sibling.handle});
    });
    host.define("void ComponentAddChildAfter( Component, Component, Component )", [&s](NativeCall&
                                                                                           c) {
        HostObject& sibling = componentArg(s, c, 2);
        addChild(s, &c, componentArg(s, c, 0), componentArg(s, c, 1), {At::After, sibling.handle});
    });
    host.define("Component ComponentAddNewComponent( Component, long, float, float, float, float )",
                [&s](NativeCall& c) {
                    HostObject& parent = componentArg(s, c, 0);
                    std::int32_t type = c.int32(1);
                    if (!isAnnotationType(type)) {
                        throw callError(c, "component type " + std::to_string(type) +
                                               " is no annotation (1 to 6).");
                    }
                    FloatRect rect = rectArgs(c, 2);
                    HostObject& made = s.newObject(ObjectKind::Component, 1, 0);
                    ComponentData& d = componentOf(s, made);
                    d.type = type;
                    d.rect = rect;
                    addChild(s, &c, parent, made);
                    c.setResultHandle(made.handle);
                });
    host.define("void ComponentRemoveFromParent( Component )",
                [&s](NativeCall& c) { removeFromParent(s, componentArg(s, c, 0)); });
    host.define("Component ComponentClone( Component, Boolean )", [&s](NativeCall& c) {
        HostObject& source = componentArg(s, c, 0);
        c.setResultHandle(cloneComponent(s, source, c.boolean(1), 1, 0, 0).handle);
    });
}

void defineQueries(Host& host, Host::State& s) {
    host.define("long ComponentCountChildren( Component )", [&s](NativeCall& c) {
        auto n = componentOf(s, componentArg(s, c, 0)).children.size();
        c.setResult(static_cast<std::int32_t>(n));
    });
    host.define("long ComponentCountChildrenOfType( Component, long )", [&s](NativeCall& c) {
        auto n = childrenOfType(s, componentOf(s, componentArg(s, c, 0)), c.int32(1)).size();
        c.setResult(static_cast<std::int32_t>(n));
    });
    host.define("Component ComponentGetChild( Component, long )", [&s](NativeCall& c) {
        ComponentData& d = componentOf(s, componentArg(s, c, 0));
        checkIndex(c, c.int32(1), d.children.size(), "child", "children");
        c.setResultHandle(toCaller(*s.find(d.children[static_cast<std::size_t>(c.int32(1))])));
    });
    host.define("Component ComponentGetNthChildOfType( Component, long, long )",
                [&s](NativeCall& c) {
                    ComponentData& d = componentOf(s, componentArg(s, c, 0));
                    std::vector<Vorna::Handle> ofType = childrenOfType(s, d, c.int32(1));
                    std::string kind = "child of type " + std::to_string(c.int32(1));
                    std::string kinds = "children of type " + std::to_string(c.int32(1));
                    checkIndex(c, c.int32(2), ofType.size(), kind.c_str(), kinds.c_str());
                    auto at = static_cast<std::size_t>(c.int32(2));
                    c.setResultHandle(toCaller(*s.find(ofType[at])));
                });
    host.define("Component ComponentGetChildByID( Component, long )", [&s](NativeCall& c) {
        ComponentData& d = componentOf(s, componentArg(s, c, 0));
        Vorna::Handle found = findComponentById(s, d, c.int32(1), false);
        c.setResultHandle(found ? toCaller(*s.find(found)) : 0);
    });
    host.define("Component ComponentGetDescendentByID( Component, long )", [&s](NativeCall& c) {
        ComponentData& d = componentOf(s, componentArg(s, c, 0));
        Vorna::Handle found = findComponentById(s, d, c.int32(1), true);
        c.setResultHandle(found ? toCaller(*s.find(found)) : 0);
    });
    host.define("Component ComponentGetParentComponent( Component )", [&s](NativeCall& c) {
        HostObject* parent = s.find(componentOf(s, componentArg(s, c, 0)).parent);
        c.setResultHandle(parent && parent->alive ? toCaller(*parent) : 0);
    });
    host.define("ImageDisplay ComponentGetParentImageDisplay( Component )", [&s](NativeCall& c) {
        Vorna::Handle up = componentOf(s, componentArg(s, c, 0)).parent;
        for (int depth = 0; up != 0 && depth < 1000; ++depth) {
            HostObject* o = s.find(up);
            if (!o || !o->alive || !o->component) break;
            if (isDisplayKind(o->kind)) {
                c.setResultHandle(toCaller(*o));
                return;
            }
            up = o->component->parent;
        }
        c.setResultHandle(0);
    });
    host.define("ImageDocument ComponentGetImageDocument( Component )", [&s](NativeCall& c) {
        Vorna::Handle doc = documentOfComponent(s, componentArg(s, c, 0).handle);
        c.setResultHandle(doc ? toCaller(*s.find(doc)) : 0);
    });
    host.define("long ComponentGetID( Component )",
                [&s](NativeCall& c) { c.setResult(componentOf(s, componentArg(s, c, 0)).id); });
    host.define("long ComponentGetType( Component )",
                [&s](NativeCall& c) { c.setResult(componentOf(s, componentArg(s, c, 0)).type); });
    host.define("Boolean ComponentIsOfType( Component, long )", [&s](NativeCall& c) {
        c.setResultBoolean(componentOf(s, componentArg(s, c, 0)).type == c.int32(1));
    });
    host.define("Boolean ComponentIsValid( Component )",
                [&s](NativeCall& c) { c.setResultBoolean(isLiveArg(s, c, 0, isComponentKind)); });
}

void defineAttributes(Host& host, Host::State& s) {
    host.define(
        "void ComponentGetRect( Component, float *, float *, float *, float * )",
        [&s](NativeCall& c) { writeRect(c, 1, componentOf(s, componentArg(s, c, 0)).rect); });
    host.define("void ComponentSetRect( Component, float, float, float, float )",
                [&s](NativeCall& c) {
                    ComponentData& d = componentOf(s, componentArg(s, c, 0));
                    d.rect = rectArgs(c, 1);
                });
    host.define("void ComponentGetBoundingRect( Component, float *, float *, float *, float * )",
                [&s](NativeCall& c) {
                    ComponentData& d = componentOf(s, componentArg(s, c, 0));
                    writeRect(c, 1, boundingRect(s, d, 0));
                });
    host.define("Boolean ComponentIsSelected( Component )", [&s](NativeCall& c) {
        c.setResultBoolean(componentOf(s, componentArg(s, c, 0)).selected);
    });
    host.define("void ComponentSetSelected( Component, Boolean )", [&s](NativeCall& c) {
        componentOf(s, componentArg(s, c, 0)).selected = c.boolean(1);
    });
    // Settings kept as the plug-in gives them, read back unchanged.
    struct Setting {
        const char* get;
        const char* set;
        std::int32_t ComponentData::*field;
    };
    const Setting settings[] = {
        {"long ComponentGetDrawingMode( Component )",
         "void ComponentSetDrawingMode( Component, long )", &ComponentData::drawingMode},
        {"long ComponentGetFillMode( Component )", "void ComponentSetFillMode( Component, long )",
         &ComponentData::fillMode},
        {"long ComponentGetFontAttributes( Component )",
         "void ComponentSetFontAttributes( Component, long )", &ComponentData::fontAttributes},
    };
    for (const Setting& setting : settings) {
        std::int32_t ComponentData::*field = setting.field;
        host.define(setting.get, [&s, field](NativeCall& c) {
            c.setResult(componentOf(s, componentArg(s, c, 0)).*field);
        });
        host.define(setting.set, [&s, field](NativeCall& c) {
            componentOf(s, componentArg(s, c, 0)).*field = c.int32(1);
        });
    }
    host.define("long ComponentGetFontSize( Component )", [&s](NativeCall& c) {
        c.setResult(componentOf(s, componentArg(s, c, 0)).fontSize);
    });
    host.define("void ComponentSetFontSize( Component, long )", [&s](NativeCall& c) {
        ComponentData& d = componentOf(s, componentArg(s, c, 0));
        d.fontSize = fontSizeArg(c, 1);
    });
    host.define("qz_string ComponentGetFontFaceName( Component )", [&s](NativeCall& c) {
        c.setResultHandle(newCallerString(s, componentOf(s, componentArg(s, c, 0)).fontFace));
    });
    host.define("void ComponentSetFontFaceName( Component, qz_string )", [&s](NativeCall& c) {
        ComponentData& d = componentOf(s, componentArg(s, c, 0));
        d.fontFace = stringArg(s, c, 1);
    });
    host.define("void ComponentGetFontInfo( Component, qz_string *, long *, long * )",
                [&s](NativeCall& c) {
                    ComponentData& d = componentOf(s, componentArg(s, c, 0));
                    if (auto* p = c.pointerTo<std::int32_t>(2)) *p = d.fontAttributes;
                    if (auto* p = c.pointerTo<std::int32_t>(3)) *p = d.fontSize;
                    storeReference(s, c, 1, newCallerString(s, d.fontFace));
                });
    host.define("void ComponentSetFontInfo( Component, qz_string, long, long )",
                [&s](NativeCall& c) {
                    ComponentData& d = componentOf(s, componentArg(s, c, 0));
                    std::u16string face = stringArg(s, c, 1);
                    std::int32_t size = fontSizeArg(c, 3);
                    d.fontFace = face;
                    d.fontAttributes = c.int32(2);
                    d.fontSize = size;
                });
}

}  // namespace

Vorna::Handle findComponentById(Host::State& s, const ComponentData& under, std::int32_t id,
                                bool deep, int depth) {
    for (Vorna::Handle child : under.children) {
        HostObject* o = s.find(child);
        if (!o || !o->alive || !o->component) continue;
        if (o->component->id == id) return child;
        if (deep && depth < 1000) {
            if (Vorna::Handle found = findComponentById(s, *o->component, id, true, depth + 1))
                return found;
        }
    }
    return 0;
}

void defineComponentFunctions(Host& host) {
    Host::State& s = host.state();
    defineTree(host, s);
    defineQueries(host, s);
    defineAttributes(host, s);
}

}  // namespace StandIn
