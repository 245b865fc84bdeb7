// Regions of interest: their shape and vertices, the point test, label, name, colour and flags;
// the host's own way to make one and put it on a display.
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "ViewState.h"

namespace StandIn {
namespace {

// The vertices an ROI shows: a rectangle's four corners clockwise from the top left, a point's
// one, a line's two, a curve's own; none for ovals and ranges.
std::vector<RoiPoint> vertices(const RoiSpec& r) {
    switch (r.shape) {
        case RoiShape::Rectangle: {
            const RoiPoint& a = r.points[0];
            const RoiPoint& b = r.points[1];
            return {a, {b.x, a.y}, b, {a.x, b.y}};
        }
        case RoiShape::Point:
        case RoiShape::Line:
        case RoiShape::Curve: return r.points;
        case RoiShape::Oval:
        case RoiShape::Range: return {};
    }
    return {};
}

// Whether a closed polygon holds the point (even-odd rule).
bool polygonContains(const std::vector<RoiPoint>& p, float x, float y) {
    bool inside = false;
    for (std::size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
        if ((p[i].y > y) != (p[j].y > y) &&
            x < (p[j].x - p[i].x) * (y - p[i].y) / (p[j].y - p[i].y) + p[i].x)
            inside = !inside;
    }
    return inside;
}

bool contains(const RoiSpec& r, float x, float y) {
    switch (r.shape) {
        case RoiShape::Rectangle:
            return x >= r.points[0].x && x < r.points[1].x && y >= r.points[0].y &&
                   y < r.points[1].y;
        case RoiShape::Oval: {
            double rx = (r.points[1].x - r.points[0].x) / 2.0;
            double ry = (r.points[1].y - r.points[0].y) / 2.0;
            if (rx <= 0 || ry <= 0) return false;
            double dx = (x - r.points[0].x - rx) / rx, dy = (y - r.points[0].y - ry) / ry;
            return dx * dx + dy * dy < 1.0;
        }
        case RoiShape::Range: return x >= r.points[0].x && x < r.points[1].x;
        case RoiShape::Curve:
            return r.closed && r.points.size() >= 3 && polygonContains(r.points, x, y);
        case RoiShape::Point:
        case RoiShape::Line: return false;
    }
    return false;
}

// Whether the points fit the shape; the reason when they do not.
std::string misfit(const RoiSpec& r) {
    std::size_t need = 0;
    switch (r.shape) {
        case RoiShape::Point: need = 1; break;
        case RoiShape::Line:
        case RoiShape::Rectangle:
        case RoiShape::Oval:
        case RoiShape::Range: need = 2; break;
        case RoiShape::Curve: need = r.points.size(); break;
    }
    if (r.points.size() != need) {
        return std::string("an ROI of shape ") + roiShapeName(r.shape) + " has " +
               std::to_string(need) + " points, not " + std::to_string(r.points.size());
    }
    for (const RoiPoint& p : r.points)
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) return "an ROI's points are finite numbers";
    bool boxed = r.shape == RoiShape::Rectangle || r.shape == RoiShape::Oval;
    if (boxed && (r.points[1].x < r.points[0].x || r.points[1].y < r.points[0].y))
        return std::string(r.shape == RoiShape::Oval ? "an oval" : "a rectangle") +
               "'s second corner lies above or left of its first";
    if (r.shape == RoiShape::Range && r.points[1].x < r.points[0].x)
        return "a range ends before it starts";
    return "";
}

RoiData& roi(Host::State& s, NativeCall& c) { return *roiArg(s, c, 0).roi; }

void requireShape(NativeCall& c, const RoiData& r, RoiShape shape) {
    if (r.spec.shape != shape) {
        throw callError(c, std::string("the ROI is a ") + roiShapeName(r.spec.shape) + ", not a " +
                               roiShapeName(shape) + ".");
    }
}

// Editing vertices makes an ROI a curve through the vertices it showed; a rectangle's curve is
// closed.
void makeCurve(RoiData& r) {
    if (r.spec.shape == RoiShape::Curve) return;
    r.spec.closed = r.spec.shape == RoiShape::Rectangle;
    r.spec.points = vertices(r.spec);
    r.spec.shape = RoiShape::Curve;
}

void writeFloats(NativeCall& c, std::size_t first, std::initializer_list<float> values) {
    std::size_t i = first;
    for (float v : values) {
        if (auto* p = c.pointerTo<float>(i)) *p = v;
        ++i;
    }
}

void defineShapes(Host& host, Host::State& s) {
    host.define("void ROISetRectangle( ROI, float, float, float, float )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        float top = coordinateArg(c, 1), left = coordinateArg(c, 2);
        float bottom = coordinateArg(c, 3), right = coordinateArg(c, 4);
        checkRect(c, top, left, bottom, right);
        r.spec.shape = RoiShape::Rectangle;
        r.spec.points = {{left, top}, {right, bottom}};
    });
    host.define("void ROIGetRectangle( ROI, float *, float *, float *, float * )",
                [&s](NativeCall& c) {
                    RoiData& r = roi(s, c);
                    if (r.spec.shape == RoiShape::Range || r.spec.points.empty()) {
                        throw callError(c, std::string("a ") + roiShapeName(r.spec.shape) +
                                               (r.spec.points.empty() ? " without vertices" : "") +
                                               " has no rectangle.");
                    }
                    RoiPoint lo = r.spec.points[0], hi = r.spec.points[0];
                    for (const RoiPoint& p : r.spec.points) {
                        lo = {std::fmin(lo.x, p.x), std::fmin(lo.y, p.y)};
                        hi = {std::fmax(hi.x, p.x), std::fmax(hi.y, p.y)};
                    }
                    writeFloats(c, 1, {lo.y, lo.x, hi.y, hi.x});
                });
    host.define("void ROISetLine( ROI, float, float, float, float )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        RoiPoint a{coordinateArg(c, 1), coordinateArg(c, 2)};
        RoiPoint b{coordinateArg(c, 3), coordinateArg(c, 4)};
        r.spec.shape = RoiShape::Line;
        r.spec.points = {a, b};
    });
    host.define("void ROIGetLine( ROI, float *, float *, float *, float * )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        requireShape(c, r, RoiShape::Line);
        writeFloats(
            c, 1, {r.spec.points[0].x, r.spec.points[0].y, r.spec.points[1].x, r.spec.points[1].y});
    });
    host.define("void ROISetPoint( ROI, float, float )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        RoiPoint p{coordinateArg(c, 1), coordinateArg(c, 2)};
        r.spec.shape = RoiShape::Point;
        r.spec.points = {p};
    });
    host.define("void ROIGetPoint( ROI, float *, float * )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        requireShape(c, r, RoiShape::Point);
        writeFloats(c, 1, {r.spec.points[0].x, r.spec.points[0].y});
    });
    host.define("void ROISetRange( ROI, float, float )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        float start = coordinateArg(c, 1), end = coordinateArg(c, 2);
        if (end < start) throw callError(c, "the range ends before it starts.");
        r.spec.shape = RoiShape::Range;
        r.spec.points = {{start, 0.0f}, {end, 0.0f}};
    });
    host.define("void ROIGetRange( ROI, float *, float * )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        requireShape(c, r, RoiShape::Range);
        writeFloats(c, 1, {r.spec.points[0].x, r.spec.points[1].x});
    });
    const std::pair<const char*, RoiShape> tests[] = {
        {"Boolean ROIIsRectangle( ROI )", RoiShape::Rectangle},
        {"Boolean ROIIsLine( ROI )", RoiShape::Line},
        {"Boolean ROIIsPoint( ROI )", RoiShape::Point},
        {"Boolean ROIIsRange( ROI )", RoiShape::Range},
    };
    for (const auto& test : tests) {
        RoiShape shape = test.second;
        host.define(test.first, [&s, shape](NativeCall& c) {
            c.setResultBoolean(roi(s, c).spec.shape == shape);
        });
    }
    host.define("Boolean ROIIsClosed( ROI )", [&s](NativeCall& c) {
        const RoiSpec& r = roi(s, c).spec;
        bool boxed = r.shape == RoiShape::Rectangle || r.shape == RoiShape::Oval;
        c.setResultBoolean(boxed || (r.shape == RoiShape::Curve && r.closed));
    });
    host.define("void ROISetIsClosed( ROI, Boolean )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        requireShape(c, r, RoiShape::Curve);
        r.spec.closed = c.boolean(1);
    });
    host.define("Boolean ROIContainsPoint( ROI, float, float )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        c.setResultBoolean(contains(r.spec, coordinateArg(c, 1), coordinateArg(c, 2)));
    });
}

void defineVertices(Host& host, Host::State& s) {
    host.define("long ROICountVertices( ROI )", [&s](NativeCall& c) {
        c.setResult(static_cast<std::int32_t>(vertices(roi(s, c).spec).size()));
    });
    host.define("void ROIGetVertex( ROI, long, float *, float * )", [&s](NativeCall& c) {
        std::vector<RoiPoint> v = vertices(roi(s, c).spec);
        checkIndex(c, c.int32(1), v.size(), "vertex", "vertices");
        const RoiPoint& p = v[static_cast<std::size_t>(c.int32(1))];
        writeFloats(c, 2, {p.x, p.y});
    });
    host.define("void ROISetVertex( ROI, long, float, float )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        checkIndex(c, c.int32(1), vertices(r.spec).size(), "vertex", "vertices");
        RoiPoint p{coordinateArg(c, 2), coordinateArg(c, 3)};
        if (r.spec.shape == RoiShape::Rectangle) makeCurve(r);
        r.spec.points[static_cast<std::size_t>(c.int32(1))] = p;
    });
    host.define("void ROIAddVertex( ROI, float, float )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        RoiPoint p{coordinateArg(c, 1), coordinateArg(c, 2)};
        makeCurve(r);
        r.spec.points.push_back(p);
    });
    host.define("void ROIInsertVertex( ROI, long, float, float )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        std::size_t count = vertices(r.spec).size();
        std::int32_t at = c.int32(1);
        if (at != static_cast<std::int32_t>(count))
            checkIndex(c, at, count, "vertex", "vertices");  // or just after the last
        RoiPoint p{coordinateArg(c, 2), coordinateArg(c, 3)};
        makeCurve(r);
        r.spec.points.insert(r.spec.points.begin() + at, p);
    });
    host.define("void ROIDeleteVertex( ROI, long )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        checkIndex(c, c.int32(1), vertices(r.spec).size(), "vertex", "vertices");
        makeCurve(r);
        r.spec.points.erase(r.spec.points.begin() + c.int32(1));
    });
    host.define("void ROIClearVertices( ROI )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        makeCurve(r);
        r.spec.points.clear();
    });
}

void defineAttributes(Host& host, Host::State& s) {
    host.define("Boolean ROIIsValid( ROI )", [&s](NativeCall& c) {
        c.setResultBoolean(
            isLiveArg(s, c, 0, [](ObjectKind k) { return k == ObjectKind::RegionOfInterest; }));
    });
    host.define("long ROIGetID( ROI )", [&s](NativeCall& c) { c.setResult(roi(s, c).spec.id); });
    host.define("ROI ROIClone( ROI )", [&s](NativeCall& c) {
        c.setResultHandle(cloneRoi(s, roiArg(s, c, 0), 1, 0).handle);
    });
    host.define("qz_string ROIGetLabel( ROI )",
                [&s](NativeCall& c) { c.setResultHandle(newCallerString(s, roi(s, c).label)); });
    host.define("void ROISetLabel( ROI, qz_string )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        r.label = stringArg(s, c, 1);
    });
    host.define("qz_string ROIGetName( ROI )",
                [&s](NativeCall& c) { c.setResultHandle(newCallerString(s, roi(s, c).name)); });
    host.define("void ROISetName( ROI, qz_string )", [&s](NativeCall& c) {
        RoiData& r = roi(s, c);
        r.name = stringArg(s, c, 1);
    });
    host.define("void ROIGetColor( ROI, float *, float *, float * )", [&s](NativeCall& c) {
        const RoiSpec& r = roi(s, c).spec;
        writeFloats(c, 1, {r.red, r.green, r.blue});
    });
    host.define("void ROISetColor( ROI, float, float, float )", [&s](NativeCall& c) {
        RoiSpec& r = roi(s, c).spec;
        r.red = c.float32(1);
        r.green = c.float32(2);
        r.blue = c.float32(3);
    });
    struct Flag {
        const char* get;
        const char* set;
        bool RoiSpec::*field;
    };
    const Flag flags[] = {
        {"Boolean ROIGetMoveable( ROI )", "void ROISetMoveable( ROI, Boolean )",
         &RoiSpec::moveable},
        {"Boolean ROIGetDeletable( ROI )", "void ROISetDeletable( ROI, Boolean )",
         &RoiSpec::deletable},
        {"Boolean ROIGetResizable( ROI )", "void ROISetResizable( ROI, Boolean )",
         &RoiSpec::resizable},
        {"Boolean ROIGetVolatile( ROI )", "void ROISetVolatile( ROI, Boolean )",
         &RoiSpec::isVolatile},
    };
    for (const Flag& f : flags) {
        bool RoiSpec::*field = f.field;
        host.define(f.get,
                    [&s, field](NativeCall& c) { c.setResultBoolean(roi(s, c).spec.*field); });
        host.define(f.set, [&s, field](NativeCall& c) { roi(s, c).spec.*field = c.boolean(1); });
    }
}

}  // namespace

const char* roiShapeName(RoiShape shape) {
    switch (shape) {
        case RoiShape::Point: return "point";
        case RoiShape::Line: return "line";
        case RoiShape::Rectangle: return "rectangle";
        case RoiShape::Oval: return "oval";
        case RoiShape::Curve: return "curve";
        case RoiShape::Range: return "range";
    }
    return "?";
}

HostObject& cloneRoi(Host::State& s, HostObject& source, int moduleCount, int hostCount) {
    RoiData from = roiOf(s, source);
    HostObject& made = s.newObject(ObjectKind::RegionOfInterest, moduleCount, hostCount);
    RoiData& to = roiOf(s, made);
    std::int32_t id = to.spec.id;
    to = from;
    to.spec.id = id;
    return made;
}

void defineRoiFunctions(Host& host) {
    Host::State& s = host.state();
    defineShapes(host, s);
    defineVertices(host, s);
    defineAttributes(host, s);
}

// ---- The host's API ---------------------------------------------------------------------------

Vorna::Handle Host::makeRoi(const RoiSpec& spec) {
    std::string why = misfit(spec);
    if (!why.empty()) throw std::invalid_argument(why);
    HostObject& o = fState->newObject(ObjectKind::RegionOfInterest, 0, 1);
    RoiData& r = roiOf(*fState, o);
    std::int32_t id = r.spec.id;
    r.spec = spec;
    r.spec.id = id;
    r.spec.label.clear();
    r.spec.name.clear();
    r.label = latin1ToUnits(spec.label.data(), spec.label.size());
    r.name = latin1ToUnits(spec.name.data(), spec.name.size());
    return o.handle;
}

RoiSpec Host::roi(Vorna::Handle h) const {
    HostObject* o = fState->live(h, ObjectKind::RegionOfInterest);
    if (!o) throw std::invalid_argument(hexHandle(h) + " is no live ROI");
    RoiData& r = roiOf(*fState, *o);
    RoiSpec out = r.spec;
    out.label = unitsToLatin1(r.label);
    out.name = unitsToLatin1(r.name);
    return out;
}

void Host::addRoi(Vorna::Handle display, Vorna::Handle roi) {
    HostObject* d = fState->find(display);
    if (!d || !d->alive || !isDisplayKind(d->kind))
        throw std::invalid_argument(hexHandle(display) + " is no live display");
    HostObject* r = fState->live(roi, ObjectKind::RegionOfInterest);
    if (!r) throw std::invalid_argument(hexHandle(roi) + " is no live ROI");
    DisplayData& data = displayOf(*d);
    componentOf(*fState, *d);
    for (const DisplayRoi& on : data.rois)
        if (on.roi == roi) return;
    hold(*r);
    data.rois.push_back(DisplayRoi{roi, false, 0});
}

}  // namespace StandIn
