// The catalogue of host script functions as the stand-in host knows it: every row of the SDK's
// catalogue (sdk/hostcall/catalogue.txt), built into the host library at build time
// (CatalogueTable.cmake writes the table), in catalogue order.
//
// A module may resolve every row. A row the host has no function for resolves all the same, to a
// function that fails every call with notProvidedMessage(): the host's limit, named, rather than
// the handle 0 of a signature no host knows.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace StandIn {

// The generated table: the signatures exactly as a module resolves them (without annotations).
extern const char* const kCatalogueRows[];
extern const std::size_t kCatalogueRowCount;

// The rows as strings, in catalogue order.
const std::vector<std::string>& catalogueRows();

// Whether the signature is a row of the catalogue (exact text).
bool inCatalogue(const std::string& signature);

// The pending error of every call of a catalogue function the host does not provide:
// "The stand-in host does not provide '<signature>'."
std::string notProvidedMessage(const std::string& signature);

}  // namespace StandIn
