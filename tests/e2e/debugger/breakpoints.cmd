# Breakpoints in a function and in the main script, hit in turn.
break calls.vsk:4
break 13
run
backtrace
print
continue
backtrace
print 1
globals
continue
continue
continue
continue
continue
quit
