// The live page's files, built into dln-sim (generated from sim/web and chart.js by
// sim/web/embed.cmake), so that dln-sim stays one file to copy.
#pragma once

#include <span>
#include <string_view>

namespace dlnsim {

struct WebAsset {
    std::string_view name; // "index.html", "app.js", ...
    std::string_view type; // its content type
    std::string_view content;
};

std::span<const WebAsset> WebAssets();

} // namespace dlnsim
