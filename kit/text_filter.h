#pragma once
// Every "Filter(include, -exclude)" box of the program: comma-separated
// terms, ASCII letters in either case, every other character as it is
// (a term in any script finds its own letters); a text passes when no excluding term ("-" in
// front) is in it, wherever that term stands, and, when there are including
// terms, at least one of them is. The GUI library's own test stops at the
// first term that decides, so "mp4,-odd" would let "odd.mp4" through.
#include <imgui.h>

bool FilterPasses(const ImGuiTextFilter& filter, const char* text);
