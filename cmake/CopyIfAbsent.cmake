# cmake -DFROM=<file> -DTO=<file> -P CopyIfAbsent.cmake
# Files the player rewrites (settings, shortcuts) are put beside it only once: a
# rebuild or reinstall never replaces the user's own copy.
if(NOT EXISTS "${TO}")
    get_filename_component(dir "${TO}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY_FILE "${FROM}" "${TO}")
endif()
