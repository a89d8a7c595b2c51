# Who may use what. Each folder's sources include only the folders named for
# it, and each program's target reaches (directly or through another library)
# only the libraries named for it: the run-time layer is spec2wav's and
# phaseview's alone, Wendrake links nothing of the other programs, and the
# message code is shared only through decoder/.
#
# Included from the top CMakeLists.txt it defines orvane_check_layout(), which
# stops the configuration when a program's target reaches a library it must
# not; run with -P it scans the include lines (the CTest test layout_includes).

set(orvane_folder_includes
  "common:orv"
  "runtime:orv runtime"
  "converter:orv runtime converter"
  "viewer:orv runtime viewer"
  "launcher:orv launcher"
  "decoder:orv decoder"
  "receiver:orv decoder receiver"
  "importer:orv importer"
  "tools/siggen:orv decoder tools/siggen"
  "tools/tx:orv decoder tools/tx"
  "tools/offsets:orv launcher tools/offsets"
  "tools/phaseview-png:orv runtime viewer"
  "tools/psffont:orv tools/psffont")

set(orvane_program_libraries
  "spec2wav:orvane_converter orvane_runtime orvane_common"
  "phaseview:orvane_viewer orvane_plot_window orvane_plot orvane_runtime orvane_common"
  "phaseview-png:orvane_viewer orvane_plot orvane_runtime orvane_common"
  "Wendrake:orvane_launcher_ui orvane_launcher orvane_common"
  "orvane-rx:orvane_receiver orvane_decoder orvane_common"
  "orvane-import:orvane_importer orvane_common"
  "orvane-siggen:orvane_siggen orvane_decoder orvane_common"
  "orvane-tx:orvane_tx orvane_decoder orvane_common"
  "orvane-offsets:orvane_offsets_front orvane_launcher orvane_common"
  "psffont:psffont_parse orvane_common")

# Our libraries a target reaches, directly or through another of them.
function(orvane_reached_libraries target out)
  set(reached "")
  set(pending ${target})
  while(pending)
    list(POP_FRONT pending current)
    get_target_property(direct ${current} LINK_LIBRARIES)
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    foreach(item IN LISTS direct interface)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
      if(item MATCHES "^(orvane_|psffont_)" AND TARGET ${item} AND NOT item IN_LIST reached)
        list(APPEND reached ${item})
        list(APPEND pending ${item})
      endif()
    endforeach()
  endwhile()
  set(${out} ${reached} PARENT_SCOPE)
endfunction()

function(orvane_check_layout)
  foreach(rule IN LISTS orvane_program_libraries)
    string(REPLACE ":" ";" parts "${rule}")
    list(GET parts 0 program)
    list(GET parts 1 allowed)
    separate_arguments(allowed)
    if(NOT TARGET ${program})
      continue()
    endif()
    orvane_reached_libraries(${program} reached)
    foreach(lib IN LISTS reached)
      if(NOT lib IN_LIST allowed)
        message(FATAL_ERROR "${program} reaches ${lib}, which it must not use (cmake/LayoutRules.cmake)")
      endif()
    endforeach()
  endforeach()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  # cmake -DROOT=<source folder> -P LayoutRules.cmake
  set(problems "")
  foreach(rule IN LISTS orvane_folder_includes)
    string(REPLACE ":" ";" parts "${rule}")
    list(GET parts 0 folder)
    list(GET parts 1 allowed)
    separate_arguments(allowed)
    file(GLOB sources ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.h ${ROOT}/${folder}/include/orv/*.h)
    foreach(source IN LISTS sources)
      file(STRINGS ${source} lines REGEX "^#include \"")
      foreach(line IN LISTS lines)
        string(REGEX REPLACE "^#include \"([^\"]*)\".*" "\\1" header "${line}")
        set(ok FALSE)
        foreach(prefix IN LISTS allowed)
          if(header MATCHES "^${prefix}/")
            set(ok TRUE)
          endif()
        endforeach()
        if(NOT ok)
          file(RELATIVE_PATH name ${ROOT} ${source})
          string(APPEND problems "${name} includes \"${header}\", outside ${folder}'s reach\n")
        endif()
      endforeach()
    endforeach()
  endforeach()
  if(problems)
    message(FATAL_ERROR "${problems}")
  endif()
endif()
