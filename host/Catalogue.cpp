// The built-in catalogue: lookups over the generated table.
#include "Catalogue.h"

#include <unordered_set>

namespace StandIn {

const std::vector<std::string>& catalogueRows() {
    static const std::vector<std::string> rows(kCatalogueRows, kCatalogueRows + kCatalogueRowCount);
    return rows;
}

bool inCatalogue(const std::string& signature) {
    static const std::unordered_set<std::string> rows(catalogueRows().begin(),
                                                      catalogueRows().end());
    return rows.count(signature) != 0;
}

std::string notProvidedMessage(const std::string& signature) {
    return "The stand-in host does not provide '" + signature + "'.";
}

}  // namespace StandIn
