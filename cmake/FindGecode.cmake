# Finds the Gecode constraint solver (Debian's libgecode-dev ships no CMake package) and defines the imported
# target Gecode::Gecode with its headers and the libraries the integer model needs.
#
# A cross build names its own installation with LUNARIS_GECODE_PREFIX (headers in include/gecode, libraries
# lib/libgecode*.a or .dll.a; scripts/windows builds one), searched there alone and not below the toolchain's
# roots, or sets Gecode_INCLUDE_DIR and Gecode_<part>_LIBRARY one by one.
#
# Gecode's minimodel library refers to the set and float libraries whenever Gecode was built with them, so
# they are linked too where present.

set(_gecode_where)
if(LUNARIS_GECODE_PREFIX)
    set(_gecode_where PATHS ${LUNARIS_GECODE_PREFIX} NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
endif()
find_path(Gecode_INCLUDE_DIR NAMES gecode/kernel.hh PATH_SUFFIXES include ${_gecode_where})

# In the order a static link needs: users before what they use.
set(_gecode_parts minimodel int set float search kernel support)
set(_gecode_required minimodel int search kernel support)
set(Gecode_LIBRARIES)
foreach(part ${_gecode_parts})
    find_library(Gecode_${part}_LIBRARY NAMES gecode${part} PATH_SUFFIXES lib ${_gecode_where})
    if(Gecode_${part}_LIBRARY)
        list(APPEND Gecode_LIBRARIES ${Gecode_${part}_LIBRARY})
    endif()
endforeach()

if(Gecode_INCLUDE_DIR AND EXISTS ${Gecode_INCLUDE_DIR}/gecode/support/config.hpp)
    file(STRINGS ${Gecode_INCLUDE_DIR}/gecode/support/config.hpp _gecode_version_line
         REGEX "^#define GECODE_VERSION \"[0-9.]+\"")
    string(REGEX REPLACE ".*\"([0-9.]+)\".*" "\\1" Gecode_VERSION "${_gecode_version_line}")
endif()

set(_gecode_required_vars Gecode_INCLUDE_DIR)
foreach(part ${_gecode_required})
    list(APPEND _gecode_required_vars Gecode_${part}_LIBRARY)
endforeach()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Gecode REQUIRED_VARS ${_gecode_required_vars} VERSION_VAR Gecode_VERSION)

if(Gecode_FOUND AND NOT TARGET Gecode::Gecode)
    add_library(Gecode::Gecode INTERFACE IMPORTED)
    set_target_properties(Gecode::Gecode PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${Gecode_INCLUDE_DIR}"
                                                    INTERFACE_LINK_LIBRARIES "${Gecode_LIBRARIES}")
    # A static Gecode (a cross build's) runs its search engines on threads.
    find_package(Threads)
    if(Threads_FOUND)
        set_property(TARGET Gecode::Gecode APPEND PROPERTY INTERFACE_LINK_LIBRARIES Threads::Threads)
    endif()
endif()
mark_as_advanced(Gecode_INCLUDE_DIR)
foreach(part ${_gecode_parts})
    mark_as_advanced(Gecode_${part}_LIBRARY)
endforeach()
