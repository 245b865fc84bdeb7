// Internal state of documents, displays, components, windows, ROIs and dialogs, and the helpers
// their native functions share (Components.cpp, Displays.cpp, PlotDisplays.cpp, Documents.cpp,
// Windows.cpp, Rois.cpp, Dialogs.cpp). Not for use outside the host library.
//
// Counting. A link that keeps an object alive holds a host count on it: a component its children,
// a display its image and its ROIs, a document its root component and its window, the user
// interface a shown document. Links back (a child's parent, a root's document, a window's
// document, the window order) hold none and are checked for liveness where they are followed.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Dialogs.h"
#include "HostState.h"
#include "Views.h"

namespace StandIn {

struct FloatRect {
    float top = 0.0f, left = 0.0f, bottom = 0.0f, right = 0.0f;
};

struct LongRect {
    std::int32_t top = 0, left = 0, bottom = 0, right = 0;
};

struct ComponentData {
    std::int32_t type = kComponentGroup;
    std::int32_t id = 0;
    Vorna::Handle parent = 0;             // not counted
    std::vector<Vorna::Handle> children;  // one host count each
    Vorna::Handle document = 0;           // of a document's root; not counted
    FloatRect rect;
    bool selected = false;
    std::int32_t drawingMode = 1;
    std::int32_t fillMode = 0;
    std::int32_t fontAttributes = 0;
    std::int32_t fontSize = 12;
    std::u16string fontFace = u"Sans";
};

struct DisplayRoi {
    Vorna::Handle roi = 0;  // one host count
    bool selected = false;
    std::int32_t selectionStyle = 0;
};

struct DisplayData {
    Vorna::Handle image = 0;  // one host count; 0 for a display made without one
    std::int32_t type = kDisplayTypeRaster;
    std::vector<DisplayRoi> rois;
    FloatRect imageRect;
    // Contrast: each limit surveyed is the lowest or highest of the image's values.
    bool autoSurveyLow = true, autoSurveyHigh = true;
    float low = 0.0f, high = 0.0f;
    std::int32_t contrastMode = 1;
    float brightness = 0.5f, contrast = 0.5f;
    float minimumContrast = 0.0f;
    std::int32_t surveyTechnique = 0;
    std::int32_t complexMode = 0;
    float complexModeRange = 1000.0f;
    std::int32_t firstLayer = 0, lastLayer = 0;
    bool captionOn = false;
    // Line plot.
    std::int32_t slice = 0;
    double baseIntensity = 0.0;
    float firstChannel = 0.0f, lastChannel = 0.0f;  // the x range shown; set on creation
    std::uint16_t trackingX = 0, trackingY = 0;
    bool backgroundOn = true, filled = false, frameOn = true, gridOn = true;
    std::map<std::int32_t, std::int32_t> sliceStyles;  // slice -> drawing style
    std::map<std::pair<std::int32_t, std::int32_t>, std::array<double, 3>> sliceColours;
    // Raster.
    bool thresholdOn = false;
    float thresholdLow = 0.0f, thresholdHigh = 0.0f;
    // Surface plot.
    std::array<float, 5> cubeAxes{{0.5f, 0.5f, 0.5f, 30.0f, 30.0f}};
    bool shadingOn = true;
};

struct DocumentData {
    std::int32_t id = 0;
    std::u16string name;
    Vorna::Handle root = 0;    // one host count
    Vorna::Handle window = 0;  // one host count once shown
    bool inInterface = false;  // the host holds one count on the document meanwhile
    bool pageMode = false;
    Vorna::Handle imageModeDisplay = 0;  // not counted; checked to be in the document
    bool placedOnPage = false;
};

struct WindowData {
    Vorna::Handle document = 0;  // not counted
    std::u16string title;        // empty and not set: the document's name
    bool titleSet = false;
    bool open = false;
    bool shown = false;
    LongRect content;
};

struct RoiData {
    RoiSpec spec;  // label and name kept as text units below; spec.label/name unused
    std::u16string label;
    std::u16string name;
};

struct ViewsState {
    std::int32_t nextComponentId = 1;
    std::int32_t nextDocumentId = 1;
    std::int32_t nextRoiId = 1;
    int windowsMade = 0;
    std::vector<Vorna::Handle> windowOrder;  // open windows, front first; not counted
    DialogAnswers answers;
    std::size_t nextInOrder = 0;
    std::vector<DialogRecord> dialogs;
};

// ---- State of objects (made on first use for objects made without it, e.g. by makeObject) -----
ViewsState& viewsOf(Host::State& s);
bool isDisplayKind(ObjectKind kind);
bool isComponentKind(ObjectKind kind);  // Component or any display
ComponentData& componentOf(Host::State& s, HostObject& o);
DisplayData& displayOf(HostObject& o);
DocumentData& documentOf(Host::State& s, HostObject& o);
WindowData& windowOf(HostObject& o);
RoiData& roiOf(Host::State& s, HostObject& o);

// ---- Counting ---------------------------------------------------------------------------------
// One count more for the caller of a host function (an object result or out-parameter).
Vorna::Handle toCaller(HostObject& o);
// One host count more / less, for a link. Dropping one the host does not hold is an anomaly.
void hold(HostObject& o);
void letGo(Host::State& s, Vorna::Handle h);
// Stores a handle carrying the caller's count into a reference out-parameter (null: nothing is
// stored and the count goes back); the handle the reference held is given back.
void storeReference(Host::State& s, NativeCall& c, std::size_t i, Vorna::Handle h);

// ---- Parameters -------------------------------------------------------------------------------
// The live object of parameter i, or a ScriptError naming the function and what was passed.
HostObject& imageArg(Host::State& s, NativeCall& c, std::size_t i);
HostObject& componentArg(Host::State& s, NativeCall& c, std::size_t i);  // any component kind
HostObject& displayArg(Host::State& s, NativeCall& c, std::size_t i);    // any display kind
HostObject& kindArg(Host::State& s, NativeCall& c, std::size_t i, ObjectKind kind);
HostObject& documentArg(Host::State& s, NativeCall& c, std::size_t i);
HostObject& windowArg(Host::State& s, NativeCall& c, std::size_t i);
HostObject& roiArg(Host::State& s, NativeCall& c, std::size_t i);
std::u16string stringArg(Host::State& s, NativeCall& c, std::size_t i);
// Whether parameter i is a live object the predicate accepts (for the IsValid functions).
bool isLiveArg(Host::State& s, NativeCall& c, std::size_t i, bool (*accepts)(ObjectKind));
// A float parameter that must be a number.
float coordinateArg(NativeCall& c, std::size_t i);
// A window coordinate or size: a long within kWindowCoordinateLimit of 0.
std::int32_t screenArg(NativeCall& c, std::size_t i);
// Fails unless 0 <= index < count, naming the things counted ("ROI", "ROIs").
void checkIndex(NativeCall& c, std::int32_t index, std::size_t count, const char* singular,
                const char* plural);
// A failure of this call: "<function>: <text>".
ScriptError callError(const NativeCall& c, const std::string& text);
// Fails when the rectangle is upside down or has a side left of/above its opposite.
void checkRect(NativeCall& c, double top, double left, double bottom, double right);

// ---- Objects ----------------------------------------------------------------------------------
// A new string for the caller (one count).
Vorna::Handle newCallerString(Host::State& s, const std::u16string& text);
// A new display of `image` (may be 0) with the given type, in no tree.
HostObject& newDisplay(Host::State& s, Vorna::Handle image, std::int32_t type, int moduleCount,
                       int hostCount);
// The object kind of a display type; throws the call's error for an unknown type.
ObjectKind displayKind(NativeCall& c, std::int32_t type);
// A display's contrast limits; a limit it surveys is the lowest or highest value of its image.
std::pair<float, float> contrastLimits(Host::State& s, DisplayData& d);
// Sets both limits and ends their survey.
void setContrastLimits(DisplayData& d, float low, float high);
// Resolves kDisplayTypeDefault for an image.
std::int32_t resolveDisplayType(Host::State& s, Vorna::Handle image, std::int32_t type);
// A new document with an empty root, for `moduleCount` callers.
HostObject& newDocument(Host::State& s, const std::u16string& name, int moduleCount);
// Where addChild puts a child among its new siblings.
struct ChildPosition {
    enum class At { Beginning, End, Before, After };
    At at = At::End;
    Vorna::Handle sibling = 0;  // Before and After: a child of the parent
};
// Makes `child` a child of `parent` (moving it from its old parent). Refuses roots, a component
// put inside itself and a sibling that is no child of the parent: with the call's error, or
// std::invalid_argument without a call.
void addChild(Host::State& s, NativeCall* c, HostObject& parent, HostObject& child,
              ChildPosition where = {});
void removeFromParent(Host::State& s, HostObject& child);
// The child (or with `deep` the descendant) of a component with this ID, or 0.
Vorna::Handle findComponentById(Host::State& s, const ComponentData& under, std::int32_t id,
                                bool deep, int depth = 0);
// The document whose tree holds the component (0 for none).
Vorna::Handle documentOfComponent(Host::State& s, Vorna::Handle component);
// The displays in a document's tree, in tree order.
std::vector<Vorna::Handle> displaysOfDocument(Host::State& s, HostObject& document);
// The distinct images of those displays, in order.
std::vector<Vorna::Handle> imagesOfDocument(Host::State& s, HostObject& document);
// Every live display of an image, in the order they were made.
std::vector<Vorna::Handle> displaysOfImage(Host::State& s, Vorna::Handle image);
// Puts a document into the user interface with its window open, shown and in front.
HostObject& showDocument(Host::State& s, HostObject& document);
// A window's title: the one set, else its document's name.
std::u16string windowTitle(Host::State& s, HostObject& window);
// Takes a document out of the user interface and closes its window.
void closeDocument(Host::State& s, HostObject& document);
// A copy of an ROI (a new ID, on no display).
HostObject& cloneRoi(Host::State& s, HostObject& roi, int moduleCount, int hostCount);

// ---- Native functions, installed with the standard ones -----------------------------------------
void defineComponentFunctions(Host& host);
void defineDisplayFunctions(Host& host);
void definePlotDisplayFunctions(Host& host);
void defineDocumentFunctions(Host& host);
void defineWindowFunctions(Host& host);
void defineRoiFunctions(Host& host);
void defineDialogFunctions(Host& host);

}  // namespace StandIn
