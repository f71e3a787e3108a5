# What the program carries inside it, packed at build time and compiled in as Qt resources: the
# strings table, the built-in units database, the invoice layouts, the icons, the About window's
# documents and the certificates network requests are pinned to. Each function attaches one kind
# to a library; the resource paths are what the code opens (":/units/Units.sqlite").

# Every *.strings file under resources/strings is one share of the strings table (":/strings/").
function(tw_add_strings_resources target)
  file(GLOB strings CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/strings/*.strings)
  qt_add_resources(${target} "${target}_strings"
    PREFIX "/"
    BASE ${PROJECT_SOURCE_DIR}/resources
    FILES ${strings})
endfunction()

# The built-in units: authored as text, turned into a read-only SQLite database by our host tool
# (tools/unitsdb) and compiled in as ":/units/Units.sqlite", with the list of the units a bare "$"
# stands for beside it.
function(tw_add_units_database target)
  set(source ${PROJECT_SOURCE_DIR}/resources/units/units.tsv)
  set(folder ${CMAKE_CURRENT_BINARY_DIR}/units)
  set(database ${folder}/Units.sqlite)
  add_custom_command(
    OUTPUT ${database}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND tw_units_db ${source} ${database}
    DEPENDS tw_units_db ${source}
    COMMENT "Building the built-in units database"
    VERBATIM)
  qt_add_resources(${target} "${target}_units"
    PREFIX "/units"
    BASE ${folder}
    FILES ${database})
  # The units a bare "$" stands for (":/units/dollar-sign.txt").
  qt_add_resources(${target} "${target}_dollar_sign"
    PREFIX "/units"
    BASE ${PROJECT_SOURCE_DIR}/resources/units
    FILES ${PROJECT_SOURCE_DIR}/resources/units/dollar-sign.txt)
endfunction()

# The built-in invoice layouts: each folder under resources/layouts/Invoice is packed into
# <Name>.twlayout (a zip with "layout.xml" at its top) and compiled in under ":/Layouts/Invoice/".
function(tw_add_invoice_layouts target)
  set(binary_dir ${CMAKE_CURRENT_BINARY_DIR}/layouts/Invoice)
  file(GLOB folders LIST_DIRECTORIES true CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/resources/layouts/Invoice/*)
  set(packages)
  foreach(folder IN LISTS folders)
    if(NOT IS_DIRECTORY ${folder})
      continue()
    endif()
    get_filename_component(layout_name ${folder} NAME)
    file(GLOB layout_files RELATIVE ${folder} CONFIGURE_DEPENDS ${folder}/*)
    list(SORT layout_files)
    list(TRANSFORM layout_files PREPEND ${folder}/ OUTPUT_VARIABLE layout_paths)
    set(package ${binary_dir}/${layout_name}.twlayout)
    add_custom_command(
      OUTPUT ${package}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${binary_dir}
      COMMAND ${CMAKE_COMMAND} -E rm -f ${package}
      COMMAND ${CMAKE_COMMAND} -E tar cf ${package} --format=zip ${layout_files}
      WORKING_DIRECTORY ${folder}
      DEPENDS ${layout_paths}
      COMMENT "Packing the invoice layout ${layout_name}"
      VERBATIM)
    list(APPEND packages ${package})
  endforeach()
  qt_add_resources(${target} "${target}_layouts"
    PREFIX "/Layouts/Invoice"
    BASE ${binary_dir}
    FILES ${packages})
endfunction()

# The icons of the application and its status item (":/icons/").
function(tw_add_icons target)
  file(GLOB icons CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/resources/icons/*.png)
  qt_add_resources(${target} "${target}_icons"
    PREFIX "/"
    BASE ${PROJECT_SOURCE_DIR}/resources
    FILES ${icons})
endfunction()

# The acknowledgements and licence documents of the About window (":/about/").
function(tw_add_about_documents target)
  qt_add_resources(${target} "${target}_about"
    PREFIX "/"
    BASE ${PROJECT_SOURCE_DIR}/resources
    FILES ${PROJECT_SOURCE_DIR}/resources/about/Acknowledgements.pdf
          ${PROJECT_SOURCE_DIR}/resources/about/License.pdf)
endfunction()

# The certificates the crash reporter's HTTPS requests are pinned to: none here; a deployment adds
# its service's certificates as DER files (":/crashreporting/pinned/").
function(tw_add_pinned_certificates target)
  file(GLOB certificates CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/resources/crashreporting/pinned/*.der)
  if(certificates)
    qt_add_resources(${target} "${target}_pinned"
      PREFIX "/crashreporting/pinned"
      BASE ${PROJECT_SOURCE_DIR}/resources/crashreporting/pinned
      FILES ${certificates})
  endif()
endfunction()
