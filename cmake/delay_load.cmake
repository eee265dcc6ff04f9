# norv_delay_load(TARGET): the program imports only kernel32 and msvcrt when it starts; every other
# system DLL it uses is loaded at its first call. The loader resolves start-up imports, and the
# imports of those DLLs in turn, before the program's first instruction, looking beside the
# program first, where a DLL planted next to a downloaded setup file waits. Loaded later, after
# the program has restricted the search to the system folder, they come from there only.
# The program's -l<dll> link items find delay-load libraries made from the toolchain's import
# libraries, which a link directory placed before the system's takes precedence over.
set(NORV_DELAY_LOADED advapi32 comctl32 comdlg32 gdi32 iphlpapi netapi32 ole32 oleaut32 shell32 shlwapi
    user32 version ws2_32)

function(norv_delay_load target)
  set(dir ${CMAKE_BINARY_DIR}/delayload)
  foreach(name ${NORV_DELAY_LOADED})
    if(NOT TARGET delayload_${name})
      execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=lib${name}.a
                      OUTPUT_VARIABLE import_lib OUTPUT_STRIP_TRAILING_WHITESPACE)
      add_custom_command(OUTPUT ${dir}/lib${name}.a
        COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
        COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/make_delay_lib.sh ${CMAKE_NM} ${CMAKE_DLLTOOL} ${import_lib}
                ${name}.dll ${dir}/lib${name}.a
        DEPENDS ${PROJECT_SOURCE_DIR}/cmake/make_delay_lib.sh ${import_lib})
      add_custom_target(delayload_${name} DEPENDS ${dir}/lib${name}.a)
    endif()
    add_dependencies(${target} delayload_${name})
  endforeach()
  target_link_directories(${target} BEFORE PRIVATE ${dir})
endfunction()
