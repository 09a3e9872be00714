# Flags shared by every target: one place for the language level and the warning policy.
add_library(flashwell_common INTERFACE)
target_compile_features(flashwell_common INTERFACE cxx_std_20)
target_compile_options(flashwell_common INTERFACE -Wall -Wextra -Wpedantic -pedantic-errors -Werror -Wshadow -Wconversion
                                                  -Wno-sign-conversion)
# GCC 12 reports false -Wrestrict overlaps inside std::string concatenation at -O2 (GCC bug 105329).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(flashwell_common INTERFACE -Wno-restrict)
endif()
target_include_directories(flashwell_common INTERFACE ${PROJECT_SOURCE_DIR})
# The release number comes from project(VERSION) alone; the binaries read it from this generated header.
configure_file(${PROJECT_SOURCE_DIR}/cmake/FlashwellVersion.h.in ${PROJECT_BINARY_DIR}/generated/FlashwellVersion.h
               @ONLY)
target_include_directories(flashwell_common INTERFACE ${PROJECT_BINARY_DIR}/generated)
