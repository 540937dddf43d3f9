PGP.EXE -kv > keys.$$$
del zorvex$$.tmp