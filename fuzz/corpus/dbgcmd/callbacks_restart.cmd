break 4
run
locals
watch best
c
finish
display t.b.c
run
step
step
next
finish
bt
frame 1
list
p t["a"]
info breakpoints
delete
c
