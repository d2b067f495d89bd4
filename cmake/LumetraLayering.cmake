# Module layering. A module's files may include headers only of itself and of the modules
# it links, directly or through them; the modules it links must come before it in the
# order of src/CMakeLists.txt. lumetra_module checks this at configure time and the
# "layering" test checks the whole tree again, so an edit that does not reconfigure is
# caught too.

# <out>: the folders of <src_dir> that are modules (they have a CMakeLists.txt).
function(lumetra_layering_modules src_dir out)
  file(GLOB entries LIST_DIRECTORIES true RELATIVE ${src_dir} ${src_dir}/*)
  set(modules "")
  foreach(entry IN LISTS entries)
    if(IS_DIRECTORY ${src_dir}/${entry} AND EXISTS ${src_dir}/${entry}/CMakeLists.txt)
      list(APPEND modules ${entry})
    endif()
  endforeach()
  set(${out} ${modules} PARENT_SCOPE)
endfunction()

# <out>: one text per include in <module>'s folder that names a module outside <allowed>.
function(lumetra_layering_scan src_dir module allowed out)
  lumetra_layering_modules(${src_dir} modules)
  file(GLOB_RECURSE files ${src_dir}/${module}/*.h ${src_dir}/${module}/*.hpp
       ${src_dir}/${module}/*.inl ${src_dir}/${module}/*.c ${src_dir}/${module}/*.cpp)
  set(found "")
  foreach(file IN LISTS files)
    file(STRINGS ${file} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][A-Za-z0-9_]+/")
    foreach(line IN LISTS lines)
      string(REGEX MATCH "[\"<]([A-Za-z0-9_]+)/([^\">]*)" match "${line}")
      set(used ${CMAKE_MATCH_1})
      set(header ${CMAKE_MATCH_1}/${CMAKE_MATCH_2})
      if(used IN_LIST modules AND NOT used IN_LIST allowed)
        file(RELATIVE_PATH shown ${src_dir}/.. ${file})
        list(APPEND found "${shown} includes ${header}")
      endif()
    endforeach()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Fails with every upward include of <module>, naming what it may use.
function(lumetra_layering_require src_dir module allowed)
  lumetra_layering_scan(${src_dir} ${module} "${allowed}" found)
  if(found)
    list(JOIN found "\n  " lines)
    list(JOIN allowed " " may)
    message(FATAL_ERROR "Layering: module ${module} includes a header of a module it does not "
            "link (a module may use only modules listed before it in src/CMakeLists.txt):\n  ${lines}\n"
            "${module} may include: ${may}")
  endif()
endfunction()
