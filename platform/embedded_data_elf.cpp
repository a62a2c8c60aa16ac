// The data is built in by embedded_data_elf.S, whose labels these are.
#include "platform/embedded_data.h"

extern "C" {
extern const uint8_t sortiq_text_font_begin[], sortiq_text_font_end[];
extern const uint8_t sortiq_icon_font_begin[], sortiq_icon_font_end[];
extern const uint8_t sortiq_icon_png_begin[], sortiq_icon_png_end[];
}

namespace platform {

EmbeddedBytes TextFontBytes() {
  return {sortiq_text_font_begin, static_cast<size_t>(sortiq_text_font_end - sortiq_text_font_begin)};
}
EmbeddedBytes IconFontBytes() {
  return {sortiq_icon_font_begin, static_cast<size_t>(sortiq_icon_font_end - sortiq_icon_font_begin)};
}
EmbeddedBytes IconPngBytes() {
  return {sortiq_icon_png_begin, static_cast<size_t>(sortiq_icon_png_end - sortiq_icon_png_begin)};
}

}  // namespace platform
