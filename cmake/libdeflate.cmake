# libdeflate for the Windows cross builds, as the static library rd_libdeflate. Debian packages
# libdeflate for Linux only, so `scripts/setup all` fetches its source package into
# build/third_party and the cross compiler builds it here; libdeflate 1.14 brings only a Makefile.
# The Linux build links Debian's libdeflate instead (src/zipdll/CMakeLists.txt).
set(RD_LIBDEFLATE_SOURCE_DIR ${PROJECT_SOURCE_DIR}/build/third_party/libdeflate-1.14
    CACHE PATH "The unpacked source of libdeflate 1.14 (scripts/setup all fetches it)")
if(NOT EXISTS ${RD_LIBDEFLATE_SOURCE_DIR}/libdeflate.h)
  message(FATAL_ERROR "The source of libdeflate is missing (${RD_LIBDEFLATE_SOURCE_DIR}): "
                      "run scripts/setup all, which fetches it, then configure again.")
endif()

# What libdeflate's own Makefile compiles into its library; the linker keeps what the engine calls
# (the raw deflate compressor and decompressor and the CRC).
file(GLOB rd_libdeflate_sources ${RD_LIBDEFLATE_SOURCE_DIR}/lib/*.c
     ${RD_LIBDEFLATE_SOURCE_DIR}/lib/x86/*.c)
add_library(rd_libdeflate STATIC ${rd_libdeflate_sources})
target_include_directories(rd_libdeflate SYSTEM PUBLIC ${RD_LIBDEFLATE_SOURCE_DIR})
set_target_properties(rd_libdeflate PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
# Its code and its warnings are its authors' business, not this project's.
target_compile_options(rd_libdeflate PRIVATE -w)
