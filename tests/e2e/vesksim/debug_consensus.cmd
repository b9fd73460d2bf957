# Robot fb3 (of the red swarm) from step 5: into the function that the
# swarm's exec runs, out again with finish, then a watch on a global.
break 15
continue
print key
continue
backtrace
locals
print board.id
finish
print steps
watch steps
info breakpoints
delete 1
continue
continue
display steps
frame 1
print key
quit
