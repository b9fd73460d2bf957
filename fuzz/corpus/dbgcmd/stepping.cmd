# step enters calls, next steps over them; leaving a function, both go on to
# the caller's next line. Native functions (print) are stepped over.
break 18
run
step
next
next
next
step
backtrace
next
next
next
next
next
next
next
next
next
next
next
step
next
step
