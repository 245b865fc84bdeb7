// The framework's checks whose failure texts are fixed, each with the file name, line number and
// condition text its message carries: "File "<file>", Line <line>: Assertion "<condition>"
// Failed!".
//
// Why the numbers are fixed: hosts show these texts to users, and plug-ins and scripts written for
// earlier versions of the framework recognise them by their text. They name where each check stood
// in the framework's original sources, not where it stands in these, so they never move when
// this code does.
#pragma once

#include "errors/Exceptions.h"

namespace Vorna {

struct AssertionSite {
    const char* file;
    int line;
    const char* condition;
};

namespace AssertionSites {

// The library data (error manager, out-of-memory handler) could not be made.
constexpr AssertionSite kLibraryData = {"Utility", 223, "sPlugInLibraryData != NULL"};
// The host is too old for the callbacks table and no provider gave one.
constexpr AssertionSite kCallbacks = {"Utility", 294, "sCallbacks != NULL"};
// The host refused to lock an image's data.
constexpr AssertionSite kLockImageData = {
    "ImageUtility", 325,
    "(*PlugInMain::GetCallbacks().lock_image_data)( image.get(), fLockFlags, fLockData )"};
// An RGB operation was given an image that is not of 4-byte RGB elements.
constexpr AssertionSite kRGBImage = {"ImageUtility", 486, "QZ::IsRGBDataType( image.get(), 4 )"};
// A standard menu was asked for an entry beyond its entries.
constexpr AssertionSite kMenuItemIndex = {"PlugInMenu", 314,
                                          "itemIndex < fPlugInMenuEntryVector.size()"};

}  // namespace AssertionSites

// Reports the failed check at `site` with severity 1 (it raises); answers false for a manager
// that does not.
inline bool ReportAssertion(const AssertionSite& site) {
    return ReportAssertion(site.file, site.line, site.condition, 1);
}

}  // namespace Vorna
