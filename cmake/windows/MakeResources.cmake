# Writes the installer's resource script from its template (cmake -P, at build time, so the
# icon directory always matches the images it names):
#   cmake -DTEMPLATE=... -DOUTPUT=... -DMANIFEST=... -DSKIN_ZIP=... -DICONS="a.png|b.png"
#         -DVERSION=1.1.0 -P MakeResources.cmake
# Icon images are PNG files (Windows Vista and later read PNG icon entries); each becomes one
# RT_ICON resource numbered from 1 and one entry of the group directory, whose size fields
# come from the PNG header.
foreach(var TEMPLATE OUTPUT MANIFEST SKIN_ZIP ICONS VERSION)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "MakeResources.cmake: ${var} is not set")
  endif()
endforeach()
foreach(file ${MANIFEST} ${SKIN_ZIP})
  if(NOT EXISTS "${file}")
    message(FATAL_ERROR "MakeResources.cmake: ${file} does not exist")
  endif()
endforeach()

string(REPLACE "|" ";" icons "${ICONS}")
list(LENGTH icons count)
set(ICON_IMAGES "")
set(entries "")
set(id 0)
foreach(png ${icons})
  math(EXPR id "${id} + 1")
  file(READ "${png}" signature LIMIT 8 HEX)
  if(NOT signature STREQUAL "89504e470d0a1a0a")
    message(FATAL_ERROR "MakeResources.cmake: ${png} is not a PNG file")
  endif()
  file(READ "${png}" header OFFSET 16 LIMIT 8 HEX)
  string(SUBSTRING "${header}" 0 8 w)
  string(SUBSTRING "${header}" 8 8 h)
  math(EXPR width "0x${w}")
  math(EXPR height "0x${h}")
  if(width GREATER 256 OR height GREATER 256 OR width LESS 1 OR height LESS 1)
    message(FATAL_ERROR "MakeResources.cmake: ${png} is ${width}x${height}; icons are 1 to 256 pixels")
  endif()
  # A directory entry stores 256 as 0. Width and height share one little-endian word.
  math(EXPR size_word "(${width} % 256) + (${height} % 256) * 256" OUTPUT_FORMAT HEXADECIMAL)
  file(SIZE "${png}" bytes)
  string(APPEND ICON_IMAGES "${id} 3 \"${png}\"\n")
  # bWidth|bHeight, bColorCount|bReserved, wPlanes, wBitCount, dwBytesInRes, nId
  list(APPEND entries "  ${size_word}, 0, 1, 32, ${bytes}L, ${id}")
endforeach()
string(JOIN ",\n" ICON_GROUP "  0, 1, ${count}" ${entries})

string(REPLACE "." ";" parts "${VERSION}")
list(LENGTH parts n)
while(n LESS 4)
  list(APPEND parts 0)
  math(EXPR n "${n} + 1")
endwhile()
list(SUBLIST parts 0 4 parts)
string(JOIN "," VERSION_COMMAS ${parts})
string(JOIN "." VERSION_DOTS ${parts})

configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
