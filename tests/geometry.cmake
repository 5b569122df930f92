# Procedural geometry. The unit tests link a recording GL in place of the real
# one, so they see every GL call and need no context; the gl tests draw the lists
# in a real one.
qv_test(NAME geometry_unit_tests LABEL unit
  SOURCES unit/torus_test.cpp unit/vertex_normals_test.cpp unit/display_list_test.cpp
  LIBS qv_geometry qv_state qv_fake_gl)

qv_test(NAME geometry_gl_tests LABEL gl
  SOURCES gl/geometry_gl_test.cpp
  LIBS qv_gl_context)
