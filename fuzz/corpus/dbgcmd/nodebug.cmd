break calls.vsk:4
break 4
run
backtrace
