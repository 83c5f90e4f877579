# Draws every window of the skin in both languages with the Windows build (under wine) and with
# the Linux build, and compares the two pictures (qv_render_compare states the tolerance).
# Variables: EMULATOR (the command that runs Windows programs), WINDOWS_RENDER, LINUX_RENDER,
# COMPARE, SKIN (the skin package), OUT (a folder for the pictures; the differences stay there).
set(layouts mainWnd.xml MessageBox1Wnd.xml MessageBox2Wnd.xml NetworkTipWnd.xml InstalledPathTipWnd.xml exitTipWnd.xml)
set(languages en-US zh-TW)
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
set(failures 0)
set(compared 0)
foreach(layout ${layouts})
  foreach(language ${languages})
    string(REPLACE ".xml" "" name "${layout}")
    set(stem "${OUT}/${name}-${language}")
    # Wine reaches the Linux files through drive Z:.
    execute_process(COMMAND ${EMULATOR} "${WINDOWS_RENDER}" "Z:${SKIN}" "${layout}" "${language}" "Z:${stem}-windows.png"
                    RESULT_VARIABLE windows_result OUTPUT_VARIABLE windows_output ERROR_VARIABLE windows_output)
    execute_process(COMMAND "${LINUX_RENDER}" "${SKIN}" "${layout}" "${language}" "${stem}-linux.png"
                    RESULT_VARIABLE linux_result OUTPUT_VARIABLE linux_output ERROR_VARIABLE linux_output)
    if(NOT windows_result EQUAL 0 OR NOT linux_result EQUAL 0)
      message("${name} ${language}: not drawn (Windows ${windows_result}: ${windows_output}; Linux ${linux_result}: ${linux_output})")
      math(EXPR failures "${failures} + 1")
      continue()
    endif()
    execute_process(COMMAND "${COMPARE}" "${stem}-linux.png" "${stem}-windows.png" "${stem}-diff.png"
                    RESULT_VARIABLE compare_result OUTPUT_VARIABLE compare_output ERROR_VARIABLE compare_output)
    string(STRIP "${compare_output}" compare_output)
    message("${name} ${language}: ${compare_output}")
    math(EXPR compared "${compared} + 1")
    if(NOT compare_result EQUAL 0)
      math(EXPR failures "${failures} + 1")
    endif()
  endforeach()
endforeach()
if(failures GREATER 0 OR compared EQUAL 0)
  message(FATAL_ERROR "${failures} window(s) drawn differently or not at all (pictures in ${OUT})")
endif()
message("all ${compared} windows drawn alike")
