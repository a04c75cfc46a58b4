# Runs the converter binary on the bundled sample and compares the CSV with
# the reviewed copy byte for byte, so every build (Linux, Windows under Wine)
# is held to the same bytes.
file(REMOVE "${OUTPUT}")
execute_process(
  COMMAND ${EMULATOR} "${CONVERTER}" --yes "${SOURCE}" "${OUTPUT}"
  RESULT_VARIABLE status
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kartovo-convert failed (${status}): ${out}${err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${OUTPUT}" "${EXPECTED}" RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "${OUTPUT} differs from ${EXPECTED}")
endif()
