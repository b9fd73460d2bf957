break geometry.vsk:3
break shapes.vsk:6
break 4
run
backtrace
break 6
continue
continue
