#pragma once

// The two point display formats. The window's check box caption records which one is in use, and
// the commit reads it there; these are its two captions.

#include <string_view>

namespace pellix {

enum class DisplayFormat { Normal, Hyper };

constexpr const char* captionOf(DisplayFormat format) {
    return format == DisplayFormat::Hyper ? "Hyper" : "Normal";
}

// The format a caption names; anything but "Hyper" is the normal format.
constexpr DisplayFormat formatOfCaption(std::string_view caption) {
    return caption == captionOf(DisplayFormat::Hyper) ? DisplayFormat::Hyper : DisplayFormat::Normal;
}

}  // namespace pellix
