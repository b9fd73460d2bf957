# Everything that needs a running program, before run.
step
next
continue
print
print total
backtrace
locals
globals

   # indented comment
frob
break
break calls.vsk:2
break nosuch.vsk:3
break calls.vsk:x
break calls.vsk:4 extra
help
help next
help bogus
b calls.vsk:20
b calls.vsk:20
r
p x
p 3
p result.x
p result[
globals everything
bt now
run again
run
	n
c
  c  
q
print
