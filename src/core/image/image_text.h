#pragma once

#include <string>
#include <string_view>

namespace sw::image {

// Image bytes shown as readable UTF-8 (each byte taken as ISO 8859-1), for dumps.
std::string imageBytesToUtf8(std::string_view bytes);

} // namespace sw::image
