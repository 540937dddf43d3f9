@ECHO OFF
PGP.EXE -esa +verbose=2 "my file.txt" 0x0000ABCD  -u me -o "out put.asc" 
DEL zorvex$$.tmp
PAUSE