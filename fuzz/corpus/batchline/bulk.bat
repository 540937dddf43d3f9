PGP.EXE -cw +batchmode +verbose=0 "a b" -z pass word 
del zorvex$$.tmp 
PGP.EXE -w bulke.bat 
"" | MORE >x
@