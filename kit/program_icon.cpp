#include "kit/program_icon.h"

#include <stb/stb_image.h>

#include "platform/embedded_data.h"

const ProgramIconPixels& ProgramIcon() {
  static const ProgramIconPixels icon = [] {
    ProgramIconPixels decoded;
    const platform::EmbeddedBytes png = platform::IconPngBytes();
    int channels = 0;
    stbi_uc* pixels = png.size == 0 ? nullptr
                                    : stbi_load_from_memory(png.data, static_cast<int>(png.size), &decoded.width,
                                                            &decoded.height, &channels, 4);
    if (pixels) {
      decoded.rgba.assign(pixels, pixels + static_cast<size_t>(decoded.width) * decoded.height * 4);
      stbi_image_free(pixels);
    } else {
      decoded.width = decoded.height = 0;
    }
    return decoded;
  }();
  return icon;
}
