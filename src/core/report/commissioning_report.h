#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

// The commissioning report of a project: one self-contained HTML page (no script, nothing fetched from
// elsewhere, laid out for A4) that hands the configuration over as a document. It shows the project, the
// communication parameters, the catalog with the IED names and the server addresses the rows use, the
// signal list, the data sets with their members, the data-array map as a picture, the lint warnings, and
// the sizes and checksums of the images a build gives now.
namespace sw {
class ProjectPaths;
}

namespace sw::access {
class DataArrayMap;
}

namespace sw::report {

// Where the program writes the report of a project: inside the project folder.
std::filesystem::path reportFile(const ProjectPaths& project);

// The page for the project as it is on disk; `decimalSeparator` is the one the images are built with.
// Throws ConfigError when the parameter file or the access file cannot be read; a build that fails is
// shown in the page with its message.
std::string commissioningReport(const ProjectPaths& project, char decimalSeparator);

// The map as an inline SVG picture: 50 positions a line, each cell coloured by its use, with its hover
// text as the cell's title.
std::string dataArraySvg(const access::DataArrayMap& map);

// CRC-32 (the one of zip files and Ethernet), to tell two image files apart at a glance.
std::uint32_t crc32(std::span<const std::uint8_t> bytes);

// Text made safe inside HTML elements and quoted attributes.
std::string escapeHtml(std::string_view text);

} // namespace sw::report
