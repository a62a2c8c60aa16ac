# What the Windows build links, made here from Debian's sources
# (scripts/windows/install-deps.sh fetches them): FFmpeg cross-built as
# static libraries, Dear ImGui with its Win32 and Direct3D 11 back ends,
# stb's headers. Everything is linked statically: one file to copy.
set(SORTIQ_FFMPEG_PREFIX "" CACHE PATH "FFmpeg cross-built for Windows (scripts/windows/build-ffmpeg.sh)")
set(SORTIQ_IMGUI_SOURCE "" CACHE PATH "Dear ImGui 1.86 sources (Debian's imgui source package)")
foreach(input SORTIQ_FFMPEG_PREFIX SORTIQ_IMGUI_SOURCE)
  if(NOT IS_DIRECTORY "${${input}}")
    message(FATAL_ERROR "${input} is not set: run `make windows`, which makes it")
  endif()
endforeach()

add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0A00)
add_link_options(-static -static-libgcc -static-libstdc++)

set(imgui "${SORTIQ_IMGUI_SOURCE}")
add_library(imgui STATIC "${imgui}/imgui.cpp" "${imgui}/imgui_draw.cpp" "${imgui}/imgui_tables.cpp"
  "${imgui}/imgui_widgets.cpp" "${imgui}/backends/imgui_impl_win32.cpp"
  "${imgui}/backends/imgui_impl_dx11.cpp")
target_include_directories(imgui SYSTEM PUBLIC "${imgui}" "${imgui}/backends")
target_compile_options(imgui PRIVATE -w)
target_link_libraries(imgui PUBLIC d3d11 dxgi d3dcompiler dwmapi imm32 gdi32 user32)

# stb_image's code, which Debian's libstb carries on Linux; the headers are
# the same package's, seen as a system's so their warnings stay theirs.
set(stb_include "${CMAKE_BINARY_DIR}/stb-include")
file(MAKE_DIRECTORY "${stb_include}/stb")
foreach(header stb_image.h stb_truetype.h stb_rect_pack.h)
  configure_file("/usr/include/stb/${header}" "${stb_include}/stb/${header}" COPYONLY)
endforeach()
file(WRITE "${CMAKE_BINARY_DIR}/stb_image.c" "#define STB_IMAGE_IMPLEMENTATION\n#include <stb/stb_image.h>\n")
add_library(stb STATIC "${CMAKE_BINARY_DIR}/stb_image.c")
target_include_directories(stb SYSTEM PUBLIC "${stb_include}")
target_compile_options(stb PRIVATE -w)

add_library(ffmpeg INTERFACE)
target_include_directories(ffmpeg SYSTEM INTERFACE "${SORTIQ_FFMPEG_PREFIX}/include")
foreach(lib avformat avcodec swscale swresample avutil)
  target_link_libraries(ffmpeg INTERFACE "${SORTIQ_FFMPEG_PREFIX}/lib/lib${lib}.a")
endforeach()
target_link_libraries(ffmpeg INTERFACE z bcrypt ws2_32 secur32 ole32 user32)
