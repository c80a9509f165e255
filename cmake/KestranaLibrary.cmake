# kestrana_library(name deps...): a static library of every .cpp in the folder
# and its subfolders (an interface library while there are none). Subfolders
# named widgets/ are libraries of their own (Qt), and selfcheck/ is a program.
function(kestrana_library name)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER srcs EXCLUDE REGEX "/(widgets|selfcheck)/")
  if(srcs)
    add_library(${name} STATIC ${srcs})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()

# kestrana_qt_library(name deps...): the Qt widget library of a folder: every
# .cpp and .h in it and its subfolders, with moc.
function(kestrana_qt_library name)
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER srcs INCLUDE REGEX "\\.cpp$|\\.h$")
  set(cpps ${srcs})
  list(FILTER cpps INCLUDE REGEX "\\.cpp$")
  if(cpps)
    add_library(${name} STATIC ${srcs})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PUBLIC ${ARGN} Qt6::Widgets)
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARGN} Qt6::Widgets)
  endif()
endfunction()
