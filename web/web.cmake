# The WebAssembly build (emcmake cmake -S . -B build-web): the same engine
# sources, built into build-web/site/ with the page, the worker glue and the
# book. Included by the top-level CMakeLists.txt when the compiler is
# Emscripten's; nothing of the native build applies here.
set(MORVEK_SITE_DIR ${CMAKE_BINARY_DIR}/site)

# The engine runs in a worker (or a Node worker thread) and blocks there on
# its input as on a pipe; the glue gives it the wasm bytes, the book and the
# learning file. Memory grows for the tables it allocates at start.
set(MORVEK_WEB_LINK_FLAGS
  -O3 -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=33554432 -sENVIRONMENT=worker,node
  -sEXIT_RUNTIME=1)

add_executable(morvek engine/main.cpp)
target_link_libraries(morvek PRIVATE morvek_core)
# The one version, as in the native build.
target_compile_definitions(morvek_core PUBLIC MORVEK_VERSION="${PROJECT_VERSION}")
target_link_options(morvek PRIVATE ${MORVEK_WEB_LINK_FLAGS}
  -sMODULARIZE=1 -sEXPORT_NAME=MorvekModule -sINVOKE_RUN=0
  "-sEXPORTED_RUNTIME_METHODS=['FS','callMain']")

# The search signature in a worker or in Node: node site/bench.js 8
add_executable(bench tools/bench.cpp)
target_link_libraries(bench PRIVATE morvek_core)
target_link_options(bench PRIVATE ${MORVEK_WEB_LINK_FLAGS})

# The engine for pages without shared memory (no isolation headers and no
# service worker to add them): the same objects, linked with Asyncify, so
# that a wait for input (platform/page_input.cpp) unwinds to the worker's
# event loop, where the page's lines arrive as messages. The search looks
# at its input every few thousand nodes and lets the messages in every 10
# milliseconds. main.cpp is compiled again for this target, the rest is
# shared. The unwound stack of a search 90 plies deep needs more than
# Asyncify's default 4 KB (16 KB was enough: 256 KB leaves room).
add_executable(morvek-async engine/main.cpp)
target_link_libraries(morvek-async PRIVATE morvek_core)
target_link_options(morvek-async PRIVATE ${MORVEK_WEB_LINK_FLAGS}
  -sMODULARIZE=1 -sEXPORT_NAME=MorvekModule -sINVOKE_RUN=0
  "-sEXPORTED_RUNTIME_METHODS=['FS','callMain']"
  -sASYNCIFY=1 "-sASYNCIFY_IMPORTS=['pageInputReadJs','pageInputReadyJs']" -sASYNCIFY_STACK_SIZE=262144
  "SHELL:--post-js ${CMAKE_SOURCE_DIR}/web/async-main.js")
set_property(TARGET morvek-async APPEND PROPERTY LINK_DEPENDS ${CMAKE_SOURCE_DIR}/web/async-main.js)

set_target_properties(morvek morvek-async bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${MORVEK_SITE_DIR})

# The page: web/build.mjs bundles it with esbuild (npm ci --prefix web) and
# copies the glue, the book and the licenses of what it bundles.
add_custom_target(site ALL
  COMMAND node ${CMAKE_SOURCE_DIR}/web/build.mjs ${MORVEK_SITE_DIR}
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
  COMMENT "Page, worker glue and book into ${MORVEK_SITE_DIR}"
  VERBATIM)
add_dependencies(site morvek morvek-async)
