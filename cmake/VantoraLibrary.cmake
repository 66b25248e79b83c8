# vantora_library(<name> [DEPS <targets>...] [EXTRA <files>...])
# A static library made of every source, header, form and resource file of the
# calling folder, so adding a class never needs a CMake edit.
function(vantora_library name)
    cmake_parse_arguments(ARG "" "" "DEPS;EXTRA" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS
        ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/*.h
        ${CMAKE_CURRENT_SOURCE_DIR}/*.ui
        ${CMAKE_CURRENT_SOURCE_DIR}/*.qrc)
    add_library(${name} STATIC ${sources} ${ARG_EXTRA})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    set_property(GLOBAL APPEND PROPERTY VANTORA_LIBRARIES ${name})
endfunction()
