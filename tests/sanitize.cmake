# In the sanitizer build the end-to-end test's preload shim stays
# uninstrumented: it is preloaded into every program the game starts, the
# sanitizers' own symbolizer included, which has no sanitizer runtime.
if(JT_SANITIZE AND TARGET e2e_shim)
  target_compile_options(e2e_shim PRIVATE -fno-sanitize=all)
  target_link_options(e2e_shim PRIVATE -fno-sanitize=all)
endif()
