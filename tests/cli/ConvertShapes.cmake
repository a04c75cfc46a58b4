# The same generated contacts as Google's export writes them and as
# Android's own export does (vCard 2.1, every value quoted-printable, the
# relations its own way) must give the same CSV byte for byte.
foreach(shape google android)
  execute_process(COMMAND python3 "${GENERATOR}" 3000 --shape ${shape} -o "${DIR}/${shape}.vcf" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the generator failed for ${shape}")
  endif()
  file(REMOVE "${DIR}/${shape}.csv")
  execute_process(COMMAND ${EMULATOR} "${CONVERTER}" --yes "${DIR}/${shape}.vcf" "${DIR}/${shape}.csv"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kartovo-convert failed on ${shape} (${status}): ${out}${err}")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${DIR}/google.csv" "${DIR}/android.csv" RESULT_VARIABLE differ)
if(NOT differ EQUAL 0)
  message(FATAL_ERROR "the Android export's CSV differs from Google's")
endif()
