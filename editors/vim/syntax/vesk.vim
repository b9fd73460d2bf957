" Vim syntax file for Vesk, the scripting language for robot swarms.
" Same rules as the simulator's script editor, each line on its own:
" keywords; the first function call of a line (its name, its opening
" parenthesis and the last closing parenthesis of the line); table members
" (a name followed by a dot); strings between matching quotes on one line,
" without escapes; a comment from the first # up to the end of the line or
" the first [ after it. Later rules win where they overlap, which is why the
" keywords are a match (defined first) rather than a keyword item.
if exists("b:current_syntax")
  finish
endif

let s:cpo_save = &cpo
set cpo&vim

syn match veskKeyword "\<\(var\|nil\|if\|else\|function\|return\|for\|while\|and\|or\|not\|size\|foreach\|include\)\>"

" A call region runs from the name to the last ')' of the line; inside it
" no further call is highlighted.
syn region veskCallArgs matchgroup=veskCall start="\h\w*\s*(\ze.*)" end=")\ze[^)]*$" end="$" oneline contains=veskKeyword,veskMember,veskString,veskStringHead,veskComment
syn region veskCallArgsAfterComment matchgroup=veskCall start="\h\w*\s*(\ze.*)" end=")\ze[^)]*$" end="$" oneline contained contains=veskKeyword,veskMember,veskStringAfterComment

syn match veskMember "\h\w*\s*\."

" A string is highlighted only when it is closed on its line. A '#' inside
" a string starts the line's comment all the same: the string is highlighted
" up to it and the comment takes over from there.
syn match veskString +"[^"]*"+
syn match veskString +'[^']*'+
syn match veskStringHead +"[^"#]*\ze#[^"]*"+ nextgroup=veskComment
syn match veskStringHead +'[^'#]*\ze#[^']*'+ nextgroup=veskComment
syn match veskStringAfterComment +"[^"]*"+ contained
syn match veskStringAfterComment +'[^']*'+ contained

" Only the first # of a line starts a comment: what follows a '[' that ends
" it is code again, but without comments.
syn match veskComment "#[^[]*" nextgroup=veskAfterComment
syn region veskAfterComment start="\[" end="$" oneline keepend contained contains=veskKeyword,veskMember,veskCallArgsAfterComment,veskStringAfterComment

hi def link veskKeyword Keyword
hi def link veskCall Function
hi def link veskMember Identifier
hi def link veskString String
hi def link veskStringHead String
hi def link veskStringAfterComment String
hi def link veskComment Comment

let b:current_syntax = "vesk"

let &cpo = s:cpo_save
unlet s:cpo_save
