# Writes the page with the size of the game's WebAssembly filled in, so that its progress bar knows the whole.
# usage: cmake -DINPUT=index.html -DOUTPUT=site/index.html -DWASM=site/zubotta.wasm -P fill_in_page.cmake
file(SIZE ${WASM} GAME_BYTES)
configure_file(${INPUT} ${OUTPUT} @ONLY)
