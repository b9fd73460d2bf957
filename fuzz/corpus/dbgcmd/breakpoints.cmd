# Breakpoints in a function and in the main script, hit in turn.
break calls.vsk:4
break 13
run
backtrace
print n
locals
info stack
continue
backtrace
locals
print total
frame 1
locals
info stack 1
frame 5
globals
continue
continue
continue
continue
continue
quit
