# Ecosystem: installation and the embedding example, the language guide
# (every snippet is run and its output compared) and the editor support
# (keyword lists and rules agree with the built-in highlighter).
find_program(ECO_PYTHON python3)
set(ECO_DIR ${CMAKE_CURRENT_SOURCE_DIR}/eco)

if(TARGET vsk AND TARGET veskdbg)
  set(ECO_FLAGS "")
  if(VESK_SANITIZE)
    set(ECO_FLAGS "-fsanitize=address,undefined -fno-omit-frame-pointer")
  endif()
  add_test(NAME eco_install_embed
    COMMAND sh ${ECO_DIR}/embed_install.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR} ${ECO_FLAGS})
endif()
