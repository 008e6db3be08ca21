// Decodes the small baseline TIFF pictures the stand-in host shows (icons) into RGBA.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vthost {

struct Image {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgba;  // width*height*4 bytes, straight alpha, rows top to bottom
};

// Reads the first IFD of an uncompressed, 8-bit, chunky, stripped TIFF in either byte order:
// grey (black is zero, one sample) or RGB (three samples, or four with the fourth as alpha).
// Anything else, and anything malformed, answers false with a short reason in *error (error is
// never null); *image is left untouched then. The bytes are treated as hostile: nothing is read
// outside [data, data + size), and the picture is refused before allocation if the file could not
// hold its pixels.
bool DecodeTiff(const uint8_t* data, size_t size, Image* image, std::string* error);

}  // namespace vthost
