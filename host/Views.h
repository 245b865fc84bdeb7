// Image documents, image displays, components, windows and regions of interest as the stand-in
// host keeps them: headless objects with the state their script functions set and get. Nothing
// is drawn; a window is a record of its title, bounds and whether it is open and shown.
//
// The model:
//  - An image display shows one image; it is also a component. Its kind follows its display
//    type: raster, surface-plot and line-plot displays are objects of the three special display
//    kinds, a table display is a plain ImageDisplay. Changing the type changes the kind.
//  - Components form trees. Every image document has a root component (type kComponentPage);
//    the document's images are the images of the displays in that tree, in tree order.
//    ImageCreateImageDisplay makes a display that is in no tree; adding it under a document's
//    root puts its image into the document.
//  - A document shown (or added to the user interface) is held by the host and has a window
//    until it is closed; the host keeps the windows' front-to-back order. A new window's content
//    is the size of the document's first image (at most 2048 a side), cascaded from the top left;
//    ImageDocumentShowAtPosition and ImageDocumentShowAtRect place the content. The front image
//    is the first image of the frontmost shown window that has one.
//  - A display holds regions of interest, each with its own selection state on that display.
//    There is no host function that makes a new ROI: ROIs come from the host (Host::makeRoi,
//    Host::addRoi) and from ROIClone.
//
// Conventions of the host functions (the values are this host's own):
//  - rectangles travel as top, left, bottom, right; points, vertices and positions as x, y;
//    sizes as width, height; a line as start x, start y, end x, end y; x runs along an image's
//    dimension 0, y along dimension 1;
//  - a rectangle whose bottom lies above its top or whose right lies left of its left, a negative
//    size and a coordinate that is not a number are refused;
//  - an index out of range fails the call; a search that finds nothing (a lookup by name or ID,
//    the parent of a root, the window of a document never shown) answers an empty reference.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/Boundary.h"

namespace StandIn {

// Display types ("long ImageDisplayGetDisplayType( ImageDisplay )").
constexpr std::int32_t kDisplayTypeDefault = 0;  // as an argument: line plot for an image of one
                                                 // row, raster otherwise
constexpr std::int32_t kDisplayTypeRaster = 1;
constexpr std::int32_t kDisplayTypeSurfacePlot = 2;
constexpr std::int32_t kDisplayTypeLinePlot = 3;
constexpr std::int32_t kDisplayTypeTable = 4;

// Component types ("long ComponentGetType( Component )"). "ComponentAddNewComponent" makes the
// annotation types (line to group).
constexpr std::int32_t kComponentPage = 0;  // a document's root
constexpr std::int32_t kComponentLine = 1;
constexpr std::int32_t kComponentArrow = 2;
constexpr std::int32_t kComponentBox = 3;
constexpr std::int32_t kComponentOval = 4;
constexpr std::int32_t kComponentText = 5;
constexpr std::int32_t kComponentGroup = 6;
constexpr std::int32_t kComponentImageDisplay = 20;

// Window types ("long WindowGetType( Window )"): every window of this host shows a document.
constexpr std::int32_t kWindowTypeImageDocument = 1;

// Window coordinates and sizes lie within this distance of 0; beyond it a call is refused.
constexpr std::int32_t kWindowCoordinateLimit = 1 << 24;

// How a window's frame surrounds its content: a title bar above, a border on the other sides.
constexpr std::int32_t kWindowTitleBarHeight = 22;
constexpr std::int32_t kWindowBorder = 1;

// The shapes of a region of interest.
enum class RoiShape {
    Point,      // one vertex
    Line,       // two vertices: start and end
    Rectangle,  // top-left and bottom-right corners; four vertices, clockwise from top-left
    Oval,       // the ellipse inside its rectangle (given like a rectangle's); no vertices
    Curve,      // its vertices, an open polyline or a closed polygon
    Range,      // an interval of x: start and end (y unused); no vertices
};

const char* roiShapeName(RoiShape shape);  // "point", "line", ...

struct RoiPoint {
    float x = 0.0f;
    float y = 0.0f;
    bool operator==(const RoiPoint& o) const { return x == o.x && y == o.y; }
};

// A region of interest: how to make one, and what the host reports of one.
struct RoiSpec {
    RoiShape shape = RoiShape::Rectangle;
    // Point: the point; Line: start, end; Rectangle and Oval: (left, top), (right, bottom);
    // Curve: the vertices; Range: (start, 0), (end, 0).
    std::vector<RoiPoint> points;
    bool closed = false;  // Curve only: a polygon rather than a polyline
    std::string label;    // Latin-1
    std::string name;
    float red = 1.0f, green = 0.0f, blue = 0.0f;
    bool moveable = true;
    bool deletable = true;
    bool resizable = true;
    bool isVolatile = false;
    std::int32_t id = 0;  // reported by Host::roi(); ignored by Host::makeRoi
};

// A document in the user interface, as Host::shownDocuments() reports it.
struct DocumentInfo {
    Vorna::Handle document = 0;
    std::string name;    // Latin-1
    std::string title;   // its window's title
    bool shown = false;  // the window is shown (not hidden)
    std::vector<Vorna::Handle> images;
};

}  // namespace StandIn
