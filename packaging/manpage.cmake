# Writes PROGRAM's manual page OUTPUT (gzipped) from its --help and --version,
# with NAME as its one-line description.
#   cmake -DHELP2MAN=... -DPROGRAM=... -DNAME=... -DOUTPUT=....1.gz -P manpage.cmake
string(REGEX REPLACE "\\.gz$" "" page "${OUTPUT}")
execute_process(COMMAND ${HELP2MAN} --no-info --name=${NAME} --output=${page} ${PROGRAM}
                COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND gzip -9nf ${page} COMMAND_ERROR_IS_FATAL ANY)
