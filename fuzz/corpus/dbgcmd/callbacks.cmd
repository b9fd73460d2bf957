# Breakpoints, watches and displays inside callbacks of foreach and map;
# locals by name; finish out of a callback that a native runs.
break 7
watch best
run
backtrace
locals
print value
display best
continue
continue
info breakpoints
delete 2
undisplay 1
delete 1
finish
break 19
continue
print twice
next
locals
print key
frame 2
print twice
list 22
continue
delete
continue
backtrace
print best
print doubled.b
print doubled[1]
print best.value.x
frobnicate
quit
