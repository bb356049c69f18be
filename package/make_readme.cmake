# Writes the users' Readme.txt: UTF-8 with a byte-order mark and CR LF line
# ends, so that Notepad on every Windows shows the Japanese half correctly
# (without the mark, older Notepad reads the file in the ANSI code page).
#   cmake -DSOURCE=Readme.txt -DTARGET=dist/Readme.txt -P make_readme.cmake
file(READ "${SOURCE}" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
string(ASCII 239 187 191 bom)
file(WRITE "${TARGET}" "${bom}${text}")
