#pragma once
// Text shown in the GUI is UTF-8; paths are the file system's own bytes.
#include <cstdint>
#include <string>
#include <string_view>

// UTF-8 text for a path or name: valid UTF-8 passes unchanged, every
// ill-formed sequence becomes U+FFFD.
std::string ToUtf8(std::string_view bytes);

// The text for one row: line breaks, tabs and other control characters
// become U+FFFD, so a name never draws over the rows below it.
std::string OneLine(std::string_view text);

// A count with its thousands apart: 2400 -> "2,400".
std::string CountText(uint64_t count);
