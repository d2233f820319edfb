# Cross build for 64-bit Windows. The compiler's runtime is a DLL beside the
# programs, as it is for the Qt DLLs built with the same compilers: one
# libstdc++ in the process. Test programs run under Wine through the
# emulator below, so CTest drives them as it drives native ones.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-compilers.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/wine/wine-run.sh)
# A Qt for Windows named by CMAKE_PREFIX_PATH lies outside the compilers'
# own root, where packages are looked for.
if(CMAKE_PREFIX_PATH)
    list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_PREFIX_PATH})
endif()
