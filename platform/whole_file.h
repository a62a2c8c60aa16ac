#pragma once
// A whole small file read into memory (a font), refused when larger than
// the caller allows, so a huge or endless file is never read.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

bool ReadWholeFile(const std::string& path, uint64_t largest, std::vector<unsigned char>& bytes);

}  // namespace platform
