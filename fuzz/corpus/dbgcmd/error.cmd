run
backtrace
info stack
info stack 2
print speeds
print base
frame 2
print speeds.left
p speeds["left"]
p speeds.boost
locals
globals
continue
step
run
quit
