# kamdrop_load_on_first_call(target library...): the target binds these system DLLs at their first
# call instead of at start. At start, before the program has restricted the DLL search to the system
# folder, Wine resolves what such a DLL itself needs (user32 takes version.dll and uxtheme.dll) from the
# program's folder first. The delay-loading import libraries are made from the toolchain's own import
# libraries and stand in for them, for this target only, under the same names.
function(kamdrop_load_on_first_call target)
  set(dir ${CMAKE_BINARY_DIR}/load-on-first-call)
  file(MAKE_DIRECTORY ${dir})
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(prefix "__imp_")
  else()
    set(prefix "__imp__")
  endif()
  foreach(library ${ARGN})
    set(delay_library ${dir}/lib${library}.a)
    if(NOT EXISTS ${delay_library})
      unset(import_library)
      find_file(import_library lib${library}.a PATHS ${CMAKE_FIND_ROOT_PATH}/lib NO_DEFAULT_PATH NO_CACHE REQUIRED)
      execute_process(COMMAND ${CMAKE_NM} -g ${import_library} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
      string(REGEX MATCHALL " I ${prefix}[^\n]+" imports "${symbols}")
      set(definitions "LIBRARY ${library}.dll\nEXPORTS\n")
      foreach(import ${imports})
        string(REPLACE " I ${prefix}" "" name "${import}")
        string(APPEND definitions "  ${name}\n")
      endforeach()
      file(WRITE ${dir}/${library}.def "${definitions}")
      execute_process(COMMAND ${CMAKE_DLLTOOL} --kill-at --input-def ${dir}/${library}.def --dllname ${library}.dll
                              --output-delaylib ${delay_library}
                      COMMAND_ERROR_IS_FATAL ANY)
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${delay_library})
  endforeach()
  target_link_directories(${target} BEFORE PRIVATE ${dir})
endfunction()
