#include "core/image/image_text.h"

#include "core/common/utf8.h"

namespace sw::image {

std::string imageBytesToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        utf8::append(out, static_cast<unsigned char>(c));
    }
    return out;
}

} // namespace sw::image
