// Python values and host values: arrays as host images and back, scalars and strings as the
// values a registered signature takes (planned by the runner's planner, Tools::planParam) and
// the values it answers.
//
// Arrays. An array of a dtype the host has an element type for becomes a new host image of that
// type, its bytes copied in: float32, float64, int8, int16, int32, uint8, uint16, uint32, bool
// (binary), complex64 and complex128, in either byte order and any memory layout. The host's
// dimension 0 varies fastest, so a C-ordered array of shape (rows, columns) is an image of
// columns × rows: host dimension d is array axis ndim - 1 - d. An image comes back as a new
// C-ordered array of the transposed sizes; binary elements as bool (non-zero bytes true), RGB
// elements as uint32.
//
// Every refusal is a TypeError (a value of the wrong kind) or a ValueError (a value of the right
// kind the parameter cannot take: out of range, not Latin-1 text, an empty array), whose message
// names the argument, what the parameter takes and the whole signature.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>
#include <vector>

#include "CallPlan.h"
#include "ForeignValue.h"
#include "Host.h"

namespace Bridge {

namespace py = pybind11;

// Host objects made for one call, one host count each, given back when the call is over.
class MadeObjects {
  public:
    explicit MadeObjects(StandIn::Host& host) : fHost(host) {}
    ~MadeObjects();
    MadeObjects(const MadeObjects&) = delete;
    MadeObjects& operator=(const MadeObjects&) = delete;
    Vorna::Handle add(Vorna::Handle h);

  private:
    StandIn::Host& fHost;
    std::vector<Vorna::Handle> fHandles;
};

// Where an argument goes, for messages: "argument 2 of shiftImage (float)" and the signature.
struct ArgumentPlace {
    std::size_t index = 0;  // from 0
    const StandIn::Signature* signature = nullptr;
    std::string describe() const;
    // "<describe()> <problem>; its signature is <text>".
    std::string message(const std::string& problem) const;
};

// What the value of one argument needs to outlive the call: the handle an image address points
// to, the text a string parameter points to.
struct ArgumentStorage {
    Vorna::Handle handle = 0;
    std::string text;
};

// The value that travels for one argument. `storage` must stay in place until the call is over.
Tools::ForeignValue toForeign(StandIn::Host& host, const Tools::ParamPlan& plan, py::handle value,
                              const ArgumentPlace& place, MadeObjects& made,
                              ArgumentStorage& storage);

// A new host image holding the array's elements, with the name, label and calibrations of an
// object that carries them (photarion.Image). One host count, recorded in `made`.
Vorna::Handle imageFromArray(StandIn::Host& host, py::handle value, const ArgumentPlace& place,
                             MadeObjects& made);

// The image as a dict: "data" (a new array), "name", "label", "calibrations" (one (origin,
// scale, unit, displayed) tuple per array axis), "intensity".
py::dict arrayFromImage(const StandIn::ImageInfo& image);

// A number result as a Python bool, int or float.
py::object fromForeign(const Tools::ForeignValue& value, Tools::NumberReading reading);

// Host text (Latin-1 bytes, UTF-16 units) as a Python str.
py::str fromLatin1(const std::string& text);
py::str fromUTF16(const std::u16string& units);

}  // namespace Bridge
