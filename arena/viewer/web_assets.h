#pragma once

#include <string_view>
#include <vector>

namespace botarena {

/// One file of the viewer's page, as it was in arena/viewer/web/ when the arena was built.
struct WebAsset {
    std::string_view name;        ///< file name, such as "viewer.js"
    std::string_view contentType; ///< for the HTTP response
    std::string_view body;
};

/// The page's files, embedded in the program at build time, so that the arena serves them
/// from anywhere and the page loads nothing from elsewhere.
const std::vector<WebAsset>& WebAssets();

} // namespace botarena
