# kamdrop_load_on_first_call(target library...): the target binds these system DLLs at their first
# call instead of at start. At start, before the program has restricted the DLL search to the system
# folder, the loader resolves what such a DLL itself needs (user32 takes version.dll and uxtheme.dll)
# from the program's folder first.
#
# How: the target is linked by LLVM's linker (lld), which writes the DLLs into the program's
# delay-import directory and fills its address slots with the loading stubs. The import libraries it
# delay-loads through are made in LLVM's short format from the toolchain's own import libraries (lld
# cannot delay-load through binutils' long-format ones). binutils' own way, dlltool --output-delaylib,
# leaves the address slots zero in 32-bit programs linked by Debian 12's i686 binutils (2.40): the first
# call into user32 jumps to address 0. The link goes through cmake/link-with-lld, which gcc runs
# (-wrapper) in place of its own linker with the start-up objects and libraries it has worked out:
# Debian's MinGW gcc is built with its own ld, so -fuse-ld=lld does not reach lld.
find_program(KAMDROP_LLVM_DLLTOOL NAMES llvm-dlltool-14 llvm-dlltool REQUIRED)
find_program(KAMDROP_LLD NAMES ld.lld-14 ld.lld REQUIRED)

function(kamdrop_load_on_first_call target)
  set(dir ${CMAKE_BINARY_DIR}/load-on-first-call)
  file(MAKE_DIRECTORY ${dir})
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(prefix "__imp_")
    set(machine i386:x86-64)
    set(kill_at "")
  else()
    set(prefix "__imp__")
    set(machine i386)
    # stdcall names keep their @n in the program and lose it in the DLL's export table.
    set(kill_at -k)
  endif()
  foreach(library ${ARGN})
    set(short_library ${dir}/lib${library}.a)
    if(NOT EXISTS ${short_library})
      unset(import_library)
      find_file(import_library lib${library}.a PATHS ${CMAKE_FIND_ROOT_PATH}/lib NO_DEFAULT_PATH NO_CACHE REQUIRED)
      execute_process(COMMAND ${CMAKE_NM} -g ${import_library} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
      string(REGEX MATCHALL " I ${prefix}[^\n]+" imports "${symbols}")
      list(REMOVE_DUPLICATES imports)
      set(definitions "LIBRARY ${library}.dll\nEXPORTS\n")
      foreach(import ${imports})
        string(REPLACE " I ${prefix}" "" name "${import}")
        string(APPEND definitions "  ${name}\n")
      endforeach()
      file(WRITE ${dir}/${library}.def "${definitions}")
      execute_process(COMMAND ${KAMDROP_LLVM_DLLTOOL} -m ${machine} ${kill_at} -d ${dir}/${library}.def
                              -l ${short_library} -D ${library}.dll
                      COMMAND_ERROR_IS_FATAL ANY)
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${short_library})
    target_link_options(${target} PRIVATE -Wl,--delayload=${library}.dll)
    # For the check that reads the built program (tests/image).
    set_property(TARGET ${target} APPEND PROPERTY KAMDROP_FIRST_CALL_DLLS ${library}.dll)
  endforeach()
  # Found before the toolchain's libraries of the same names.
  target_link_directories(${target} BEFORE PRIVATE ${dir})
  target_link_options(${target} PRIVATE "SHELL:-wrapper ${PROJECT_SOURCE_DIR}/cmake/link-with-lld,${KAMDROP_LLD}"
                      # The stack binutils' linker gives every program (lld's default is half of it).
                      -Wl,--stack,0x200000)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/cmake/link-with-lld)
endfunction()
