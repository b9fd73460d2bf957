" Vesk scripts: files ending in .vsk
autocmd BufRead,BufNewFile *.vsk setfiletype vesk
