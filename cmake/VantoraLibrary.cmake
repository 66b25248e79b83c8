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
    vantora_rerun_autogen_on_configure(${name})
    set_property(GLOBAL APPEND PROPERTY VANTORA_LIBRARIES ${name})
endfunction()

# With globbed sources and Ninja, moc is not rerun when a re-configure adds a header: the
# autogen step's depfile only names the headers it already knew. Drop its timestamp whenever the
# list of files changes, so the next build runs it again.
function(vantora_rerun_autogen_on_configure target)
    get_target_property(files ${target} SOURCES)
    string(MD5 digest "${files}")
    if(NOT "${digest}" STREQUAL "${VANTORA_FILES_DIGEST_${target}}")
        file(REMOVE ${CMAKE_CURRENT_BINARY_DIR}/${target}_autogen/timestamp)
        set(VANTORA_FILES_DIGEST_${target} "${digest}" CACHE INTERNAL "")
    endif()
endfunction()
