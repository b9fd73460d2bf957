run
backtrace
print
print 2
globals
continue
step
run
quit
