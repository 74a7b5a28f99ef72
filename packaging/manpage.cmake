# Writes PROGRAM's manual page OUTPUT (gzipped) from its --help and --version,
# with NAME as its one-line description.
#   cmake -DHELP2MAN=... -DPROGRAM=... -DNAME=... -DVERSION=... -DOUTPUT=....1.gz -P manpage.cmake
# A program that does not answer --version is named with VERSION instead.
execute_process(COMMAND ${PROGRAM} --version RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
set(version_option)
if(NOT status EQUAL 0)
    set(version_option --version-string=${VERSION})
endif()
string(REGEX REPLACE "\\.gz$" "" page "${OUTPUT}")
execute_process(COMMAND ${HELP2MAN} --no-info --name=${NAME} ${version_option} --output=${page} ${PROGRAM}
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND gzip -9nf ${page} COMMAND_ERROR_IS_FATAL ANY)
